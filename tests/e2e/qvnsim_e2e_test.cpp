// qvnsim as a program, talked to through the tool's own serial routines.
// Every wait is bounded.

#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "qvnsim_process.h"
#include "scoped_env.h"
#include "scratch_dir.h"
#include "serial/serial.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

class QvnsimProgram : public ::testing::Test {
protected:
    void TearDown() override
    {
        serial::closeComPort();
        run.reset();
    }

    ScratchDir scratch{"qvnsim-e2e"};
    const fs::path config = scratch.path();
    const fs::path ports = config / "ZARPO" / "ports";
    ScopedEnv xdg{"XDG_CONFIG_HOME", config.string()};
    std::optional<QvnsimProcess> run;
};

TEST_F(QvnsimProgram, AnswersTheToolsRoutinesAndCleansUpOnSigterm)
{
    run.emplace(QVNSIM_PATH, ports.string(), 98,
                std::vector<std::string>{"--controllers", "1,2", "--motor", "dc,stepper"}, config / "qvnsim.out");
    const std::string first = run->process().waitForOutput("\n", 5000ms);
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

    run->process().signal(SIGTERM);
    EXPECT_EQ(run->process().wait(3000ms), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(ports / "COM98")));
}

TEST_F(QvnsimProgram, HelpAndBadOptions)
{
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
        ChildProcess r(QVNSIM_PATH, c.args, {config / "qvnsim.out"});
        const std::string out = r.waitForOutput(c.text, 3000ms);
        EXPECT_NE(out.find(c.text), std::string::npos) << out;
        EXPECT_EQ(r.wait(3000ms), c.exitCode);
    }
}

// Ctrl-C, a closed terminal and Ctrl-\ end it as SIGTERM does: the link goes.
TEST_F(QvnsimProgram, EveryStopSignalEndsItCleanly)
{
    for (const int sig : {SIGINT, SIGHUP, SIGQUIT}) {
        SCOPED_TRACE(strsignal(sig));
        run.emplace(QVNSIM_PATH, ports.string(), 97, std::vector<std::string>{"--quiet"}, config / "qvnsim.out");
        ASSERT_TRUE(fs::is_symlink(ports / "COM97"));
        run->process().signal(sig);
        EXPECT_EQ(run->process().wait(3000ms), 0);
        EXPECT_FALSE(fs::exists(fs::symlink_status(ports / "COM97")));
        EXPECT_EQ(run->process().output(), "") << "--quiet prints nothing";
    }
}

} // namespace
