#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "serial/baudrate.h"
#include "serial/portnames.h"
#include "serial/serial.h"
#include "scoped_env.h"
#include "scratch_dir.h"

namespace fs = std::filesystem;

namespace {

// A pseudo-terminal; the test holds the master, the serial layer the slave.
class Pty {
public:
    Pty()
    {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
            throw std::runtime_error("no pseudo-terminal");
        slave_ = ptsname(master_);
        termios tio{};
        tcgetattr(master_, &tio);
        cfmakeraw(&tio);
        tcsetattr(master_, TCSANOW, &tio);
    }
    ~Pty() { closeMaster(); }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    int master() const { return master_; }
    const std::string& slave() const { return slave_; }
    void closeMaster()
    {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }

    void send(const std::string& bytes) const
    {
        ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    // What the port wrote, until the line has been quiet for `quietMs`.
    std::string received(int quietMs = 50) const
    {
        std::string out;
        for (;;) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, quietMs) <= 0 || (p.revents & POLLIN) == 0) return out;
            char buf[256];
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n <= 0) return out;
            out.append(buf, static_cast<std::size_t>(n));
        }
    }

private:
    int master_ = -1;
    std::string slave_;
};

// A port folder of its own, every port of the table hidden behind a link to
// nowhere, so that the machine's own serial devices never take part.
class SerialTest : public testing::Test {
protected:
    void SetUp() override
    {
        xdg_.set(root_.string());
        folder_ = root_ / "ZARPO" / "ports";
        fs::create_directories(folder_);
        for (int n = serial::kFirstPort; n <= serial::kLastPort; ++n) link(n, "/nonexistent/zarpo-port");
    }

    void TearDown() override { serial::closeComPort(); }

    void link(int n, const fs::path& target)
    {
        const fs::path l = folder_ / ("COM" + std::to_string(n));
        std::error_code ec;
        fs::remove(l, ec);
        fs::create_symlink(target, l);
    }

    // Opens port n on a fresh pseudo-terminal and sets it up as the tool does.
    std::unique_ptr<Pty> connected(int n, const std::string& baud = "9600", int readTotalMs = 25)
    {
        auto pty = std::make_unique<Pty>();
        link(n, pty->slave());
        EXPECT_TRUE(serial::openComPort("COM" + std::to_string(n)));
        std::vector<std::string> messages;
        EXPECT_TRUE(serial::setupComPort(baud, readTotalMs, [&](const std::string& m) { messages.push_back(m); }));
        EXPECT_TRUE(messages.empty());
        return pty;
    }

    ScratchDir scratch_{"zarpo-serial"};
    const fs::path root_ = scratch_.path();
    fs::path folder_;
    ScopedEnv xdg_{"XDG_CONFIG_HOME"}; // put back when the test ends
};

TEST(PortNames, ComNumber)
{
    const struct {
        const char* name;
        std::optional<int> expected;
    } cases[] = {
        {"COM1", 1},
        {"COM9", 9},
        {"COM10", 10},
        {"COM99", 99},
        {"COM0", std::nullopt},
        {"COM100", std::nullopt},
        {"COM07", std::nullopt},
        {"COM", std::nullopt},
        {"com3", 3},
        {"cOm12", 12},
        {"COM3 ", std::nullopt},
        {" COM3", std::nullopt},
        {"COM-3", std::nullopt},
        {"COMx", std::nullopt},
        {"", std::nullopt},
        {"/dev/ttyUSB0", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(serial::comNumber(c.name), c.expected) << '"' << c.name << '"';
}

TEST_F(SerialTest, DevicePathTableAndLinks)
{
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    const struct {
        int n;
        std::optional<std::string> expected;
    } table[] = {
        {1, "/dev/ttyUSB0"},   {16, "/dev/ttyUSB15"}, {17, "/dev/ttyACM0"}, {32, "/dev/ttyACM15"}, {33, "/dev/rfcomm0"},
        {48, "/dev/rfcomm15"}, {49, "/dev/ttyS0"},    {64, "/dev/ttyS15"},  {65, std::nullopt},    {99, std::nullopt},
        {0, std::nullopt},     {100, std::nullopt},   {-1, std::nullopt},
    };
    for (const auto& c : table) EXPECT_EQ(serial::devicePathFor(c.n), c.expected) << "COM" << c.n;

    // A link replaces the table, also where the table has nothing, and even
    // when it leads nowhere; a plain file counts as well.
    link(1, "/dev/pts/7");
    link(99, "/dev/pts/8");
    link(50, "/nonexistent");
    std::ofstream(folder_ / "COM70").put('x');
    const std::string f = (folder_ / "").string();
    for (int n : {1, 99, 50, 70}) EXPECT_EQ(serial::devicePathFor(n), f + "COM" + std::to_string(n));
    EXPECT_EQ(serial::devicePathFor(2), "/dev/ttyUSB1");
}

TEST_F(SerialTest, PortFolderFollowsEnvironment)
{
    ScopedEnv home("HOME");
    const struct {
        const char* xdg; // nullptr: unset
        const char* home;
        const char* expected;
    } cases[] = {
        {"/x/cfg", "/home/u", "/x/cfg/ZARPO/ports/"},
        {"/x/cfg/", "/home/u", "/x/cfg/ZARPO/ports/"},
        {nullptr, "/home/u", "/home/u/.config/ZARPO/ports/"},
        {"", "/home/u/", "/home/u/.config/ZARPO/ports/"},
        {"relative/cfg", "/home/u", "/home/u/.config/ZARPO/ports/"},
    };
    for (const auto& c : cases) {
        xdg_.set(c.xdg);
        home.set(c.home);
        EXPECT_EQ(serial::portFolder(), c.expected) << (c.xdg ? c.xdg : "(unset)");
    }
}

TEST_F(SerialTest, ListsFreePortsOnly)
{
    EXPECT_TRUE(serial::listComPorts().empty());

    Pty p3, p5, p7;
    link(3, p3.slave());
    link(5, p5.slave());
    link(7, p7.slave());
    // Another program holds port 5.
    const int holder = ::open(p5.slave().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);

    EXPECT_EQ(serial::listComPorts(), (std::vector<std::string>{"COM3", "COM7"}));

    // Nothing stays open: both ports can be taken by someone else now.
    for (const Pty* p : {&p3, &p7}) {
        const int fd = ::open(p->slave().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        EXPECT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0) << p->slave();
        ::close(fd);
    }
    EXPECT_FALSE(serial::openComPort("COM5"));
    ::close(holder);
    EXPECT_TRUE(serial::openComPort("COM5"));
}

TEST_F(SerialTest, ListingLeavesTheOpenPortWorking)
{
    auto pty = connected(3);
    Pty other;
    link(4, other.slave());
    EXPECT_EQ(serial::listComPorts(), (std::vector<std::string>{"COM4"}));
    pty->send("OK#");
    EXPECT_EQ(serial::readComPort(), "OK#");
}

TEST_F(SerialTest, OpenIsExclusive)
{
    auto pty = connected(3);
    const int fd = ::open(pty->slave().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(fd, 0); // root passes TIOCEXCL; the lock is what stops it
    EXPECT_NE(::flock(fd, LOCK_EX | LOCK_NB), 0);
    ::close(fd);

    for (const char* name : {"COM8", "COM65", "COM0", "COM3 ", ""})
        EXPECT_FALSE(serial::openComPort(name)) << '"' << name << '"';
}

TEST_F(SerialTest, APortNameInAnyCaseOpensThatPort)
{
    Pty pty;
    link(3, pty.slave());
    for (const char* name : {"com3", "Com3"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(serial::openComPort(name));
        ASSERT_TRUE(serial::setupComPort("9600", 25, [](const std::string&) {}));
        serial::writeComPort(":A&S#");
        char buf[16]{};
        ASSERT_EQ(::read(pty.master(), buf, sizeof buf), 5);
        EXPECT_EQ(std::string(buf, 5), ":A&S#");
        serial::closeComPort();
    }
}

TEST_F(SerialTest, ReopenReleasesThePreviousPort)
{
    auto first = connected(3);
    auto second = connected(4);
    const int fd = ::open(first->slave().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    ::close(fd);
}

// The exclusive flag stays on a pseudo-terminal whose master is open; left
// set, it would keep every other user out of the simulator after a close.
TEST_F(SerialTest, LeavesTheExclusiveFlagAsFound)
{
    for (const bool heldExclusive : {false, true}) {
        SCOPED_TRACE(heldExclusive ? "another program set it" : "nobody set it");
        Pty pty;
        link(3, pty.slave());
        const int other = ::open(pty.slave().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(other, 0);
        if (heldExclusive) {
            ASSERT_EQ(::ioctl(other, TIOCEXCL), 0);
        }
        ASSERT_TRUE(serial::openComPort("COM3"));
        int during = 0;
        ASSERT_EQ(::ioctl(other, TIOCGEXCL, &during), 0);
        EXPECT_EQ(during, 1);
        serial::closeComPort();
        int after = -1;
        ASSERT_EQ(::ioctl(other, TIOCGEXCL, &after), 0);
        EXPECT_EQ(after, heldExclusive ? 1 : 0);
        ::close(other);
    }
}

// A close with HUPCL drops DTR, which resets the usual bridges: listing,
// opening and closing must leave the flag cleared, whoever set it.
TEST_F(SerialTest, ListingOpeningAndClosingClearHangUpOnClose)
{
    Pty pty;
    link(3, pty.slave());
    const int other = ::open(pty.slave().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(other, 0);
    auto setHupcl = [&] {
        termios tio{};
        ASSERT_EQ(::tcgetattr(other, &tio), 0);
        tio.c_cflag |= HUPCL;
        ASSERT_EQ(::tcsetattr(other, TCSANOW, &tio), 0);
    };
    auto hupcl = [&] {
        termios tio{};
        EXPECT_EQ(::tcgetattr(other, &tio), 0);
        return (tio.c_cflag & HUPCL) != 0;
    };
    const struct {
        const char* what;
        std::function<void()> touch;
    } cases[] = {
        {"listing", [] { EXPECT_EQ(serial::listComPorts(), (std::vector<std::string>{"COM3"})); }},
        {"open and close",
         [] {
             ASSERT_TRUE(serial::openComPort("COM3"));
             serial::closeComPort();
         }},
        {"open, set up and close",
         [] {
             ASSERT_TRUE(serial::openComPort("COM3"));
             EXPECT_TRUE(serial::setupComPort("57600", 25, nullptr));
             serial::closeComPort();
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        setHupcl();
        ASSERT_TRUE(hupcl());
        c.touch();
        EXPECT_FALSE(hupcl());
    }
    ::close(other);
}

// The far side never reads: the write gives up within its bound instead of
// waiting for room that never comes, and the port goes on working.
TEST_F(SerialTest, WriteToADeviceThatNeverReadsReturnsWithinItsBound)
{
    auto pty = connected(3, "115200");
    const std::string flood(256 * 1024, 'x'); // far more than the terminal holds
    const auto start = std::chrono::steady_clock::now();
    auto work = std::async(std::launch::async, [&] { serial::writeComPort(flood); });
    ASSERT_EQ(work.wait_for(std::chrono::seconds(5)), std::future_status::ready) << "the write hangs";
    const auto took = std::chrono::steady_clock::now() - start;
    // The write total (25 ms) plus scheduling slack on a busy machine.
    EXPECT_LT(took, std::chrono::milliseconds(1000));

    // Once the device reads again, frames and replies flow as before.
    const std::string stale = pty->received(20);
    EXPECT_GT(stale.size(), 0u);
    EXPECT_LT(stale.size(), flood.size());
    serial::writeComPort(":A&S#");
    EXPECT_EQ(pty->received(), ":A&S#");
    pty->send("OK#");
    EXPECT_EQ(serial::readComPort(), "OK#");
}

TEST_F(SerialTest, ReadsOneReplyOfAtMost80Bytes)
{
    const std::string eighty = std::string(79, 'x') + "#";
    const std::string twenty = std::string(19, 'y') + "#";
    const struct {
        const char* what;
        std::vector<std::string> arrivals; // sent before each read
        std::vector<std::string> reads;
    } cases[] = {
        {"ok", {"OK#"}, {"OK#"}},
        {"two bytes", {"K#"}, {"RXFX"}},
        {"nothing", {""}, {"RXFX"}},
        {"status", {"C0T011200A1150B512C#"}, {"C0T011200A1150B512C#"}},
        {"several replies together", {"OK#OK#"}, {"OK#OK#"}},
        {"cut reply, tail first next time", {"C0T0112", "00A1150B512C#"}, {"RXFX", "00A1150B512C#"}},
        {"100 bytes", {eighty + twenty, ""}, {eighty, twenty}},
        {"100 bytes, 80th not #", {std::string(80, 'z') + twenty, ""}, {"RXFX", twenty}},
        {"bytes above 127",
         {"A0S\xC8"
          "1A2B3C#"},
         {"A0S\xC8"
          "1A2B3C#"}},
        {"NUL inside",
         {std::string("A0S\0"
                      "1#",
                      6)},
         {std::string("A0S\0"
                      "1#",
                      6)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto pty = connected(3);
        for (std::size_t i = 0; i < c.reads.size(); ++i) {
            if (i < c.arrivals.size() && !c.arrivals[i].empty()) pty->send(c.arrivals[i]);
            EXPECT_EQ(serial::readComPort(), c.reads[i]) << "read " << i;
        }
        serial::closeComPort();
    }
}

TEST_F(SerialTest, ReplyArrivingDuringTheReadIsTaken)
{
    // A read total well above the sender's delay, so that a loaded machine
    // still delivers the reply inside the read.
    auto pty = connected(3, "9600", 500);
    auto late = std::async(std::launch::async, [&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        pty->send("OK#");
    });
    EXPECT_EQ(serial::readComPort(), "OK#");
    late.get();
}

TEST_F(SerialTest, WritesTheFrameAndKeepsTheInputQueue)
{
    auto pty = connected(3);
    pty->send("OK#");
    serial::writeComPort(":A&S#");
    EXPECT_EQ(pty->received(), ":A&S#");
    serial::writeComPort(std::string(":B&D") + "\xB0" + "1#");
    EXPECT_EQ(pty->received(), ":B&D\xB0"
                               "1#");
    // The reply that was waiting before the writes is still there.
    EXPECT_EQ(serial::readComPort(), "OK#");
}

TEST_F(SerialTest, AfterCloseNothingIsWrittenOrRead)
{
    auto pty = connected(3);
    // Keep the line alive from our side so the master sees what comes.
    const int keep = ::open(pty->slave().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(keep, 0);
    serial::closeComPort();
    pty->send("OK#");
    serial::writeComPort(":A&S#");
    EXPECT_EQ(pty->received(), "");
    EXPECT_EQ(serial::readComPort(), "RXFX");
    serial::closeComPort();
    EXPECT_EQ(serial::readComPort(), "RXFX");
    ::close(keep);

    // The lock went with the close.
    const int fd = ::open(pty->slave().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    ::close(fd);
}

TEST_F(SerialTest, VanishedDeviceReadsAsNoReply)
{
    auto pty = connected(3);
    pty->send("OK#");
    pty->closeMaster();
    auto work = std::async(std::launch::async, [] {
        std::vector<std::string> got;
        for (int i = 0; i < 3; ++i) {
            serial::writeComPort(":A&Q0#");
            got.push_back(serial::readComPort());
        }
        serial::closeComPort();
        return got;
    });
    // A hang would be the fault; two seconds is far beyond any read.
    ASSERT_EQ(work.wait_for(std::chrono::seconds(2)), std::future_status::ready);
    EXPECT_EQ(work.get(), (std::vector<std::string>(3, "RXFX")));
}

TEST_F(SerialTest, SetupStopsAtTheFirstFailingStep)
{
    const fs::path file = root_ / "plain-file";
    std::ofstream(file) << "not a terminal";
    Pty pty;
    link(3, pty.slave());
    link(4, file);

    const struct {
        const char* what;
        const char* port; // nullptr: no port open
        std::string baud;
        int timeout;
        const char* message;
    } cases[] = {
        {"no port", nullptr, "9600", 25, "SetupComm Fail"},
        {"not a terminal", "COM4", "not a number", -1, "GetCommState Fail"},
        {"letters", "COM3", "abc", -1, "BuildCommDCB Fail"},
        {"empty", "COM3", "", -1, "BuildCommDCB Fail"},
        {"zero", "COM3", "0", 25, "BuildCommDCB Fail"},
        {"signed", "COM3", "-9600", 25, "BuildCommDCB Fail"},
        {"spaces", "COM3", " 9600", 25, "BuildCommDCB Fail"},
        {"trailing", "COM3", "9600x", 25, "BuildCommDCB Fail"},
        {"decimal", "COM3", "9600.5", 25, "BuildCommDCB Fail"},
        {"too large", "COM3", "99999999999", 25, "BuildCommDCB Fail"},
        {"negative time-out", "COM3", "9600", -1, "SetCommTimeouts Fail"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        serial::closeComPort();
        if (c.port) {
            ASSERT_TRUE(serial::openComPort(c.port));
        }
        std::vector<std::string> messages;
        EXPECT_FALSE(serial::setupComPort(c.baud, c.timeout, [&](const std::string& m) { messages.push_back(m); }));
        EXPECT_EQ(messages, std::vector<std::string>{c.message});
    }
}

TEST_F(SerialTest, SetupMakesARaw8N1LineAtAnyRate)
{
    for (const unsigned baud : {300u, 9600u, 14400u, 28800u, 115200u, 250000u}) {
        SCOPED_TRACE(baud);
        Pty pty;
        // Start from a cooked line with flow control and parity, as a driver may.
        termios tio{};
        tcgetattr(pty.master(), &tio);
        tio.c_lflag |= ICANON | ECHO | ISIG;
        tio.c_iflag |= IXON | IXOFF | ICRNL;
        tio.c_oflag |= OPOST;
        tio.c_cflag |= PARENB | CSTOPB | CRTSCTS;
        tio.c_cflag = (tio.c_cflag & ~CSIZE) | CS7;
        tcsetattr(pty.master(), TCSANOW, &tio);

        link(3, pty.slave());
        ASSERT_TRUE(serial::openComPort("COM3"));
        std::vector<std::string> messages;
        EXPECT_TRUE(
            serial::setupComPort(std::to_string(baud), 25, [&](const std::string& m) { messages.push_back(m); }));
        EXPECT_TRUE(messages.empty());

        EXPECT_EQ(serial::detail::readBaudRate(pty.master()), baud);
        termios now{};
        ASSERT_EQ(tcgetattr(pty.master(), &now), 0);
        EXPECT_EQ(now.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), static_cast<tcflag_t>(CS8));
        EXPECT_EQ(now.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
        EXPECT_EQ(now.c_lflag & (ICANON | ECHO | ISIG), 0u);
        EXPECT_EQ(now.c_iflag & (IXON | IXOFF | IXANY | ICRNL), 0u);
        EXPECT_EQ(now.c_oflag & OPOST, 0u);
        EXPECT_EQ(now.c_cc[VMIN], 0);
        EXPECT_EQ(now.c_cc[VTIME], 0);

        // Raw both ways: CR, LF and ^C pass unchanged.
        pty.send("A\r\n\x03#");
        EXPECT_EQ(serial::readComPort(), "A\r\n\x03#");
        serial::writeComPort(":\n\r#");
        EXPECT_EQ(pty.received(), ":\n\r#");
        serial::closeComPort();
    }
}

} // namespace
