#pragma once
// Files written whole or not at all: the settings and model records, the
// analysis pictures.

#include <stdexcept>
#include <string>
#include <string_view>

namespace settings {

// Raised when a file cannot be written; the message names the file and the
// reason. The previous file, if any, is intact.
class FileWriteError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Writes `bytes` to a temporary file in the folder of `path`, flushes it to
// disk and renames it over `path`, so a crash or a full disc never leaves a
// truncated file. A new file gets the mode an ordinary create would give it;
// a replaced one keeps its mode. Throws FileWriteError.
void writeFileAtomically(const std::string& path, std::string_view bytes);

} // namespace settings
