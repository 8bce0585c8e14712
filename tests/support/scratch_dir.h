#pragma once
// A folder of a test's own under /tmp, removed with everything in it when the
// test ends, even when the test made the folder unwritable.

#include <filesystem>
#include <string>

class ScratchDir {
public:
    // Makes /tmp/<prefix>-XXXXXX; throws std::runtime_error when it cannot.
    explicit ScratchDir(const std::string& prefix);
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};
