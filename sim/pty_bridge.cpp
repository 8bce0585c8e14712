#include "pty_bridge.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <filesystem>

namespace qvnsim {

namespace {

constexpr std::size_t kMaxUnsent = 64 * 1024; // beyond this the tool is not reading

std::runtime_error failure(const std::string& what) { return std::runtime_error(what + ": " + std::strerror(errno)); }

} // namespace

PtyBridge::PtyBridge(int comNumber, const std::string& portsDir, Options options, double now)
    : bridge_(std::move(options), now)
{
    if (comNumber < 1 || comNumber > 99) {
        throw std::runtime_error("COM" + std::to_string(comNumber) + " is not a port name (COM1 to COM99)");
    }
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) throw failure("cannot open a pseudo-terminal");
    try {
        if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) throw failure("cannot unlock the pseudo-terminal");
        char name[128];
        if (::ptsname_r(master_, name, sizeof name) != 0) throw failure("cannot name the pseudo-terminal");
        slavePath_ = name;

        termios tio{};
        if (::tcgetattr(master_, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(master_, TCSANOW, &tio);
        }
        const int flags = ::fcntl(master_, F_GETFL);
        ::fcntl(master_, F_SETFL, flags | O_NONBLOCK);
        slaveHold_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
        if (slaveHold_ < 0) throw failure("cannot open " + slavePath_);

        namespace fs = std::filesystem;
        std::error_code ec;
        fs::create_directories(portsDir, ec);
        if (ec) throw std::runtime_error("cannot create the port folder " + portsDir + ": " + ec.message());
        const fs::path link = fs::path(portsDir) / ("COM" + std::to_string(comNumber));
        const auto status = fs::symlink_status(link, ec);
        if (fs::exists(status) && !fs::is_symlink(status)) {
            throw std::runtime_error(link.string() + " exists and is not a link; not replacing it");
        }
        // Make the new link beside it and rename it over the old one, so the
        // name never points nowhere.
        const fs::path temp =
            fs::path(portsDir) / (".COM" + std::to_string(comNumber) + "." + std::to_string(::getpid()));
        fs::remove(temp, ec);
        fs::create_symlink(slavePath_, temp, ec);
        if (ec) throw std::runtime_error("cannot create the link " + temp.string() + ": " + ec.message());
        fs::rename(temp, link, ec);
        if (ec) {
            fs::remove(temp, ec);
            throw std::runtime_error("cannot create the link " + link.string() + ": " + ec.message());
        }
        linkPath_ = link.string();
    } catch (...) {
        if (slaveHold_ >= 0) ::close(slaveHold_);
        ::close(master_);
        throw;
    }
}

PtyBridge::~PtyBridge()
{
    removeLink();
    if (slaveHold_ >= 0) ::close(slaveHold_);
    if (master_ >= 0) ::close(master_);
}

void PtyBridge::removeLink()
{
    if (linkPath_.empty()) return;
    // Only our own link: another simulator may have taken the name since.
    std::error_code ec;
    const auto target = std::filesystem::read_symlink(linkPath_, ec);
    if (!ec && target == slavePath_) std::filesystem::remove(linkPath_, ec);
    linkPath_.clear();
}

void PtyBridge::vanish()
{
    if (master_ < 0) return;
    removeLink();
    if (slaveHold_ >= 0) ::close(slaveHold_);
    ::close(master_);
    slaveHold_ = -1;
    master_ = -1;
    unsent_.clear();
}

void PtyBridge::pump(double now)
{
    if (master_ < 0) return;
    if (bridge_.vanished(now)) {
        vanish();
        return;
    }
    std::string out;
    char buf[512];
    for (;;) {
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n > 0) {
            out += bridge_.receive(std::string_view(buf, static_cast<std::size_t>(n)), now);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        break; // EAGAIN: nothing more; EIO: nobody on the other side
    }
    out += bridge_.advance(now);
    write(out);
}

void PtyBridge::write(const std::string& bytes)
{
    unsent_ += bytes;
    while (!unsent_.empty()) {
        const ssize_t n = ::write(master_, unsent_.data(), unsent_.size());
        if (n > 0) {
            unsent_.erase(0, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        break;
    }
    // A tool that never reads must not make us grow without end.
    if (unsent_.size() > kMaxUnsent) unsent_.erase(0, unsent_.size() - kMaxUnsent);
}

} // namespace qvnsim
