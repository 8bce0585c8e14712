// The bridge on a pseudo-terminal: the link in the port folder and the bytes
// through the slave side, as the tool's serial layer will see them.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "pty_bridge.h"
#include "scratch_dir.h"

namespace fs = std::filesystem;

namespace {

class PtyBridgeTest : public ::testing::Test {
protected:
    static int openSlave(const std::string& path)
    {
        const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios tio{};
        ::tcgetattr(fd, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(fd, TCSANOW, &tio);
        return fd;
    }

    // Reads what is there after a short bounded wait.
    static std::string readSome(int fd)
    {
        pollfd p{fd, POLLIN, 0};
        std::string got;
        while (::poll(&p, 1, 50) > 0 && (p.revents & POLLIN)) {
            char buf[256];
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n <= 0) break;
            got.append(buf, static_cast<std::size_t>(n));
        }
        return got;
    }

    ScratchDir scratch{"qvnsim-pty"};
    const fs::path root = scratch.path();
    const fs::path ports = root / "ports";
};

TEST_F(PtyBridgeTest, LinksItselfAndAnswersThroughTheSlave)
{
    qvnsim::PtyBridge device(42, ports.string(), {}, 0);
    const fs::path link = ports / "COM42";
    ASSERT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::read_symlink(link), device.slavePath());

    const int fd = openSlave(link.string());
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, ":@&Q0#:A&Q0#", 12), 12);
    for (int i = 0; i < 20 && device.bridge().controller(1)->cycle() == 0; ++i) {
        ::usleep(1000);
        device.pump(0.5);
    }
    const std::string reply = readSome(fd);
    EXPECT_EQ(reply.substr(0, 3), "OK#");
    EXPECT_EQ(reply.substr(3, 2), "A0");
    EXPECT_EQ(reply.back(), '#');
    ::close(fd);
}

TEST_F(PtyBridgeTest, ReplacesAStaleLinkAndRemovesItsOwnAtTheEnd)
{
    fs::create_directories(ports);
    fs::create_symlink("/dev/pts/nonexistent", ports / "COM99");
    {
        qvnsim::PtyBridge device(99, ports.string(), {}, 0);
        EXPECT_EQ(fs::read_symlink(ports / "COM99"), device.slavePath());
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(ports / "COM99")));
}

TEST_F(PtyBridgeTest, RefusesToReplaceSomethingThatIsNotALink)
{
    fs::create_directories(ports);
    std::ofstream(ports / "COM5") << "the user's file";
    try {
        qvnsim::PtyBridge device(5, ports.string(), {}, 0);
        ADD_FAILURE() << "replaced a file";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("not a link"), std::string::npos) << e.what();
    }
    std::ifstream in(ports / "COM5");
    std::string text;
    std::getline(in, text);
    EXPECT_EQ(text, "the user's file");
}

TEST_F(PtyBridgeTest, BadPortNumbersAreRefused)
{
    for (const int n : {0, 100, -3}) {
        EXPECT_THROW(qvnsim::PtyBridge(n, ports.string(), {}, 0), std::runtime_error) << n;
    }
}

TEST_F(PtyBridgeTest, VanishingClosesTheLineAndTheLink)
{
    qvnsim::Options o;
    o.vanishAfterS = 1;
    qvnsim::PtyBridge device(7, ports.string(), o, 0);
    const int fd = openSlave(device.slavePath());
    ASSERT_GE(fd, 0);
    device.pump(0.5);
    EXPECT_FALSE(device.gone());
    device.pump(1.0);
    EXPECT_TRUE(device.gone());
    EXPECT_FALSE(fs::exists(fs::symlink_status(ports / "COM7")));
    char c;
    EXPECT_LE(::read(fd, &c, 1), 0) << "the slave sees the hang-up";
    device.pump(2.0); // does nothing, and does not fail
    ::close(fd);
}

} // namespace
