// qvnsim as a program, talked to through the tool's own serial routines.
// Every wait is bounded.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "serial/serial.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

struct Child {
    pid_t pid = -1;
    int out = -1; // qvnsim's stdout and stderr
};

Child start(const std::vector<std::string>& args) {
    int pipefd[2];
    if (::pipe(pipefd) != 0) return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipefd[1], 1);
        ::dup2(pipefd[1], 2);
        ::close(pipefd[0]);
        std::vector<char*> argv;
        std::string program = QVNSIM_PATH;
        argv.push_back(program.data());
        std::vector<std::string> copy = args;
        for (auto& a : copy) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(pipefd[1]);
    return {pid, pipefd[0]};
}

// Reads output until it holds `until` or the time is up.
std::string readUntil(int fd, const std::string& until, std::chrono::milliseconds limit) {
    std::string got;
    const auto end = std::chrono::steady_clock::now() + limit;
    while (got.find(until) == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
        char buf[256];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0) break;
        got.append(buf, static_cast<std::size_t>(n));
    }
    return got;
}

// The exit status, or -1 if it did not end in time (it is then killed).
int waitExit(pid_t pid, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (std::chrono::steady_clock::now() < end) {
        if (::waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
        std::this_thread::sleep_for(10ms);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return -1;
}

class QvnsimProgram : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/qvnsim-e2e-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        config = pattern;
        ports = config / "ZARPO" / "ports";
        ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    }
    void TearDown() override {
        serial::closeComPort();
        if (run.pid > 0 && ::waitpid(run.pid, nullptr, WNOHANG) == 0) {
            ::kill(run.pid, SIGKILL);
            ::waitpid(run.pid, nullptr, 0);
        }
        if (run.out >= 0) ::close(run.out);
        fs::remove_all(config);
    }

    fs::path config, ports;
    Child run;
};

TEST_F(QvnsimProgram, AnswersTheToolsRoutinesAndCleansUpOnSigterm) {
    run = start({"--com", "98", "--ports-dir", ports.string(), "--controllers", "1,2", "--motor", "dc,stepper"});
    ASSERT_GT(run.pid, 0);
    const std::string first = readUntil(run.out, "\n", 5000ms);
    ASSERT_EQ(first.rfind("qvnsim: COM98 -> /dev/pts/", 0), 0u) << first;
    EXPECT_NE(first.find("(controllers 1, 2; dc, stepper)\n"), std::string::npos) << first;
    ASSERT_TRUE(fs::is_symlink(ports / "COM98"));

    const auto list = serial::listComPorts();
    EXPECT_NE(std::find(list.begin(), list.end(), "COM98"), list.end());

    ASSERT_TRUE(serial::openComPort("COM98"));
    std::vector<std::string> messages;
    ASSERT_TRUE(serial::setupComPort("57600", 25, [&](const std::string& m) { messages.push_back(m); }));
    EXPECT_TRUE(messages.empty());

    // The connection check, with the tool's pause.
    serial::writeComPort(":@&Q0#");
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(serial::readComPort(), "OK#");

    // Activate controller 2 (the stepper), track, and read the status.
    for (const char* body : {"B&R", "B&y4", "B&s3000", "B&a3000", "B&r40000", "B&t0", "B&C0", "B&T"}) {
        serial::writeComPort(std::string(":") + body + "#");
        std::this_thread::sleep_for(30ms);
    }
    std::this_thread::sleep_for(500ms);
    serial::writeComPort(":B&Q0#");
    std::this_thread::sleep_for(100ms);
    const std::string status = serial::readComPort();
    ASSERT_GE(status.size(), 7u) << status;
    EXPECT_LE(status.size(), 36u);
    EXPECT_EQ(status.substr(0, 3), "B1T") << status;
    EXPECT_EQ(status.back(), '#');

    // An absent controller stays silent: the tool sees no reply.
    serial::writeComPort(":E&Q0#");
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(serial::readComPort(), "RXFX");
    serial::closeComPort();

    ::kill(run.pid, SIGTERM);
    EXPECT_EQ(waitExit(run.pid, 3000ms), 0);
    run.pid = -1;
    EXPECT_FALSE(fs::exists(fs::symlink_status(ports / "COM98")));
}

TEST_F(QvnsimProgram, HelpAndBadOptions) {
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        const char* text;
    };
    const Case cases[] = {
        {{"--help"}, 0, "--vanish-after S"},
        {{"--controllers", "1,99"}, 2, "qvnsim: --controllers wants numbers from 0 to 15, not \"99\""},
        {{"--bogus"}, 2, "qvnsim: unknown option \"--bogus\""},
        // Refused before any conversion, not cut into a wrong time.
        {{"--halt-after", "1e19"}, 2, "qvnsim: --halt-after wants seconds from 0 to 1000000, not \"1e19\""},
    };
    for (const auto& c : cases) {
        Child r = start(c.args);
        ASSERT_GT(r.pid, 0);
        const std::string out = readUntil(r.out, c.text, 3000ms);
        EXPECT_NE(out.find(c.text), std::string::npos) << out;
        EXPECT_EQ(waitExit(r.pid, 3000ms), c.exitCode);
        ::close(r.out);
    }
}

// Ctrl-C, a closed terminal and Ctrl-\ end it as SIGTERM does: the link goes.
TEST_F(QvnsimProgram, EveryStopSignalEndsItCleanly) {
    for (const int sig : {SIGINT, SIGHUP, SIGQUIT}) {
        SCOPED_TRACE(strsignal(sig));
        run = start({"--quiet", "--com", "97", "--ports-dir", ports.string()});
        ASSERT_GT(run.pid, 0);
        for (int i = 0; i < 300 && !fs::is_symlink(ports / "COM97"); ++i) std::this_thread::sleep_for(10ms);
        ASSERT_TRUE(fs::is_symlink(ports / "COM97"));
        ::kill(run.pid, sig);
        EXPECT_EQ(waitExit(run.pid, 3000ms), 0);
        run.pid = -1;
        EXPECT_FALSE(fs::exists(fs::symlink_status(ports / "COM97")));
        EXPECT_EQ(readUntil(run.out, "never", 100ms), "") << "--quiet prints nothing";
        ::close(run.out);
        run.out = -1;
    }
}

} // namespace
