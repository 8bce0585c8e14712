#include "settings/atomic_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace settings {

namespace {

[[noreturn]] void fail(const std::string& path, int err)
{
    throw FileWriteError("Cannot write file \"" + path + "\": " + std::strerror(err));
}

} // namespace

void writeFileAtomically(const std::string& path, std::string_view bytes)
{
    namespace fs = std::filesystem;
    fs::path target(path);
    fs::path dir = target.parent_path();
    std::string tmpl = (dir.empty() ? fs::path(".") : dir) / ("." + target.filename().string() + ".XXXXXX");
    std::vector<char> tmpName(tmpl.begin(), tmpl.end());
    tmpName.push_back('\0');

    int fd = ::mkstemp(tmpName.data());
    if (fd < 0) fail(path, errno);

    auto failOpen = [&](int err) {
        ::close(fd);
        ::unlink(tmpName.data());
        fail(path, err);
    };
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            failOpen(errno);
        }
        done += static_cast<std::size_t>(n);
    }
    // mkstemp makes the file 0600: keep the mode of the file replaced, or
    // give a new one the mode an ordinary create would.
    struct stat old {};
    mode_t mode;
    if (::stat(path.c_str(), &old) == 0) {
        mode = old.st_mode & 07777;
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::fchmod(fd, mode) != 0) failOpen(errno);
    if (::fsync(fd) != 0) failOpen(errno);
    if (::close(fd) != 0) {
        int err = errno;
        ::unlink(tmpName.data());
        fail(path, err);
    }
    if (::rename(tmpName.data(), path.c_str()) != 0) {
        int err = errno;
        ::unlink(tmpName.data());
        fail(path, err);
    }
    // Make the rename itself durable; the data is already on disk.
    int dfd = ::open((dir.empty() ? std::string(".") : dir.string()).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
}

} // namespace settings
