#include "scratch_dir.h"

#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

ScratchDir::ScratchDir(const std::string& prefix)
{
    std::string pattern = "/tmp/" + prefix + "-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("cannot make a scratch folder " + pattern + ": " + std::strerror(errno));
    path_ = pattern;
}

ScratchDir::~ScratchDir()
{
    // A test may have made the folder unwritable; its contents go only once
    // it is writable again.
    std::error_code ec;
    fs::permissions(path_, fs::perms::owner_all, ec);
    fs::remove_all(path_, ec);
}
