#include "pty_master_port.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <stdexcept>

PtyMasterPort::PtyMasterPort(const std::string& portFolder, int n) : n_(n)
{
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
        throw std::runtime_error("cannot open a pseudo-terminal");
    const char* slave = ptsname(master_);
    if (!slave) throw std::runtime_error("pseudo-terminal without a name");
    link_ = portFolder + "COM" + std::to_string(n);
    ::unlink(link_.c_str());
    if (::symlink(slave, link_.c_str()) != 0) throw std::runtime_error("cannot link " + link_);
}

PtyMasterPort::~PtyMasterPort()
{
    ::unlink(link_.c_str());
    if (master_ >= 0) ::close(master_);
}

std::string PtyMasterPort::readAll()
{
    std::string out;
    char buf[256];
    for (;;) {
        pollfd p{master_, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0 || !(p.revents & POLLIN)) break;
        const ssize_t got = ::read(master_, buf, sizeof buf);
        if (got <= 0) break;
        out.append(buf, static_cast<std::size_t>(got));
    }
    return out;
}

void PtyMasterPort::write(const std::string& bytes)
{
    if (::write(master_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        throw std::runtime_error("short write to the pseudo-terminal");
}
