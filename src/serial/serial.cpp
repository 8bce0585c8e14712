#include "serial/serial.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <optional>

#include "serial/baudrate.h"
#include "serial/portnames.h"

namespace serial {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kReplyBuffer = 80;
constexpr int kDefaultTotalMs = 25;     // until set-up gives the caller's value
constexpr unsigned kAssumedBaud = 9600; // for drain budgets before set-up
const std::string kNoReply = "RXFX";

struct Port {
    int fd = -1;
    bool setExclusive = false; // we set TIOCEXCL, so we clear it on close
};

// The one port of the process and its line figures.
Port g_port;
int g_totalMs = kDefaultTotalMs;
unsigned g_baud = 0;

int msLeft(Clock::time_point deadline)
{
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) return 0;
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

Port openPort(const std::string& name)
{
    const std::optional<int> n = comNumber(name);
    if (!n) return {};
    const std::optional<std::string> path = devicePathFor(*n);
    if (!path) return {};
    int fd = -1;
    do {
        fd = ::open(path->c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return {};
    // Another program holding the port makes the open fail. flock is what
    // stops root as well; TIOCEXCL only stops other users.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return {};
    }
    Port p;
    p.fd = fd;
    int already = 0;
    if (::ioctl(fd, TIOCGEXCL, &already) == 0 && already == 0) p.setExclusive = ::ioctl(fd, TIOCEXCL) == 0;
    // Opening raises DTR and a close with HUPCL set drops it again; the common
    // microcontroller bridges reset on that edge. Clearing HUPCL (the driver
    // keeps it while the device is plugged in) lets probing, closing and
    // reopening leave DTR up as the first open set it.
    termios tio{};
    if (::tcgetattr(fd, &tio) == 0 && (tio.c_cflag & HUPCL) != 0) {
        tio.c_cflag &= ~static_cast<tcflag_t>(HUPCL);
        ::tcsetattr(fd, TCSANOW, &tio);
    }
    // A non-terminal stays open: set-up then fails on it with its own message.
    return p;
}

void closePort(Port& p)
{
    if (p.fd < 0) return;
    // The exclusive flag outlives our descriptor on a terminal whose other
    // side stays open (a pseudo-terminal); leave it as we found it.
    if (p.setExclusive) ::ioctl(p.fd, TIOCNXCL);
    ::close(p.fd);
    p = Port{};
}

// Waits until the output has gone, but never past `deadline`: a wedged
// device must not freeze the window, and tcdrain has no time limit (a
// USB-serial driver that stops draining would hold it for good). What is still
// queued at the deadline is dropped by the next transmit purge.
void drainOutput(int fd, Clock::time_point deadline)
{
    for (;;) {
        int queued = 0;
        if (::ioctl(fd, TIOCOUTQ, &queued) != 0 || queued <= 0) break;
        if (Clock::now() >= deadline) return;
        ::poll(nullptr, 0, 1);
    }
    // The driver's queue is empty; where the driver tells, wait for the
    // transmitter itself to finish its last character, within the deadline.
    for (;;) {
        unsigned int lsr = 0;
        if (::ioctl(fd, TIOCSERGETLSR, &lsr) != 0 || (lsr & TIOCSER_TEMT) != 0) return;
        if (Clock::now() >= deadline) return;
        ::poll(nullptr, 0, 1);
    }
}

void purgeAndDrain(int fd)
{
    ::tcflush(fd, TCOFLUSH);
    drainOutput(fd, Clock::now() + std::chrono::milliseconds(g_totalMs));
}

// Time the line needs for `bytes` at the set rate (10 bits a character).
std::chrono::milliseconds sendTime(std::size_t bytes)
{
    const unsigned baud = g_baud > 0 ? g_baud : kAssumedBaud;
    const auto ms = (static_cast<std::uint64_t>(bytes) * 10 * 1000 + baud - 1) / baud;
    return std::chrono::milliseconds(static_cast<std::int64_t>(ms));
}

// Writes with SIGPIPE held back, so that no kind of device at the end of a
// port link can end the program; a SIGPIPE we caused is taken off again.
void writeBytes(int fd, const std::string& bytes, Clock::time_point deadline)
{
    sigset_t pipeOnly, previous, pending;
    sigemptyset(&pipeOnly);
    sigaddset(&pipeOnly, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeOnly, &previous);
    sigpending(&pending);
    const bool pipeWasPending = sigismember(&pending, SIGPIPE) == 1;
    bool broken = false;

    std::size_t sent = 0;
    // Every pass looks at the deadline: a driver that reports room and then
    // refuses the bytes again must not keep us here.
    for (bool first = true; sent < bytes.size(); first = false) {
        if (!first && Clock::now() >= deadline) break;
        const ssize_t n = ::write(fd, bytes.data() + sent, bytes.size() - sent);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) {
            // Output queue full: wait for room within the write total.
            pollfd p{fd, POLLOUT, 0};
            const int r = ::poll(&p, 1, msLeft(deadline));
            if (r > 0 && (p.revents & POLLOUT) != 0) continue;
            if (r < 0 && errno == EINTR) continue;
        }
        broken = n < 0 && errno == EPIPE;
        break;
    }

    if (broken && !pipeWasPending) {
        const timespec now{};
        sigtimedwait(&pipeOnly, nullptr, &now);
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

// A positive decimal number of at most 32 bits, digits only.
std::optional<unsigned> parseBaud(const std::string& text)
{
    if (text.empty() || text.size() > 10) return std::nullopt;
    std::uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (v == 0 || v > UINT32_MAX) return std::nullopt;
    return static_cast<unsigned>(v);
}

// Raw 8N1, no flow control, reads that never wait in the driver (the wait is
// ours, in poll).
void makeRaw(termios& tio)
{
    tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                                          IXANY | INPCK);
    tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
}

bool applyLine(int fd, termios tio, unsigned baud)
{
    makeRaw(tio);
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) return false;
    // tcsetattr succeeds when any part was taken; check the parts we need.
    termios now{};
    if (::tcgetattr(fd, &now) != 0) return false;
    const tcflag_t frameBits = CSIZE | PARENB | CSTOPB | CRTSCTS;
    if ((now.c_cflag & frameBits) != CS8 || (now.c_lflag & ICANON) != 0 || (now.c_iflag & (IXON | IXOFF)) != 0)
        return false;
    return detail::setBaudRate(fd, baud);
}

void report(const MessageFn& message, const std::string& text)
{
    if (message) message(text);
}

} // namespace

std::vector<std::string> listComPorts()
{
    // Probing uses its own descriptors: an open port, if any, is left alone.
    std::vector<std::string> names;
    for (int n = kFirstPort; n <= kLastPort; ++n) {
        const std::string name = "COM" + std::to_string(n);
        Port probe = openPort(name);
        if (probe.fd < 0) continue;
        names.push_back(name);
        closePort(probe);
    }
    return names;
}

bool openComPort(const std::string& name)
{
    // Opening over an open port would leak it and keep it locked.
    closeComPort();
    g_port = openPort(name);
    g_totalMs = kDefaultTotalMs;
    g_baud = 0;
    return g_port.fd >= 0;
}

bool setupComPort(const std::string& baudText, int timeoutMs, const MessageFn& message)
{
    const int fd = g_port.fd;
    if (fd < 0 || ::fcntl(fd, F_GETFD) < 0) {
        report(message, "SetupComm Fail");
        return false;
    }
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
        report(message, "GetCommState Fail");
        return false;
    }
    const std::optional<unsigned> baud = parseBaud(baudText);
    if (!baud) {
        report(message, "BuildCommDCB Fail");
        return false;
    }
    if (!applyLine(fd, tio, *baud)) {
        report(message, "SetCommState Fail");
        return false;
    }
    g_baud = *baud;
    if (timeoutMs < 0) {
        report(message, "SetCommTimeouts Fail");
        return false;
    }
    g_totalMs = timeoutMs;
    return true;
}

void writeComPort(const std::string& text)
{
    const int fd = g_port.fd;
    if (fd < 0) return;
    purgeAndDrain(fd);
    const auto start = Clock::now();
    writeBytes(fd, text, start + std::chrono::milliseconds(g_totalMs));
    // The frame goes out before we return, so that the next transmit purge
    // cannot drop it.
    drainOutput(fd, Clock::now() + std::chrono::milliseconds(g_totalMs) + sendTime(text.size()));
}

std::string readComPort()
{
    const int fd = g_port.fd;
    if (fd < 0) return kNoReply;
    purgeAndDrain(fd);

    char buf[kReplyBuffer];
    std::size_t got = 0;
    bool failed = false;
    const auto deadline = Clock::now() + std::chrono::milliseconds(g_totalMs);
    while (got < kReplyBuffer) {
        pollfd p{fd, POLLIN, 0};
        const int r = ::poll(&p, 1, msLeft(deadline));
        if (r < 0) {
            if (errno == EINTR) continue;
            failed = true;
            break;
        }
        if (r == 0) break; // the read total has run out
        if ((p.revents & POLLIN) != 0) {
            const ssize_t n = ::read(fd, buf + got, kReplyBuffer - got);
            if (n > 0) {
                got += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            // Readable yet nothing to read: the device has hung up.
            failed = true;
            break;
        }
        // Hang-up or error without data: the device has gone.
        failed = true;
        break;
    }

    purgeAndDrain(fd);
    if (failed || got < 3 || buf[got - 1] != '#') return kNoReply;
    return std::string(buf, got);
}

void closeComPort()
{
    if (g_port.fd < 0) return;
    purgeAndDrain(g_port.fd);
    closePort(g_port);
}

} // namespace serial
