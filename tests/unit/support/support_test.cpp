// The test support the other tests stand on: an environment variable put back
// as it was, and child processes that are waited for with a deadline and
// never left running.

#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "child_process.h"
#include "csv_cells.h"
#include "qvnsim_process.h"
#include "record_words.h"
#include "scoped_env.h"
#include "scratch_dir.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr const char* kVar = "ZARPO_SUPPORT_TEST_VAR";

std::optional<std::string> env()
{
    const char* v = std::getenv(kVar);
    return v ? std::optional<std::string>(v) : std::nullopt;
}

TEST(ScopedEnv, PutsBackTheValueOrItsAbsence)
{
    struct Case {
        const char* before; // null: unset
        std::vector<const char*> changes;
    };
    const Case cases[] = {
        {nullptr, {"x"}}, {nullptr, {nullptr}}, {nullptr, {"x", nullptr, "y"}},
        {"old", {"x"}},   {"old", {nullptr}},   {"old", {nullptr, "x"}},
        {"", {"x"}}, // set but empty is not unset
    };
    for (const Case& c : cases) {
        if (c.before)
            ::setenv(kVar, c.before, 1);
        else
            ::unsetenv(kVar);
        const std::optional<std::string> before = env();
        {
            ScopedEnv scoped(kVar, c.changes.front());
            for (const char* v : c.changes) {
                scoped.set(v);
                EXPECT_EQ(env(), v ? std::optional<std::string>(v) : std::nullopt);
            }
        }
        EXPECT_EQ(env(), before) << (c.before ? c.before : "(unset)");
    }
    ::unsetenv(kVar);
}

TEST(RecordWords, AreLittleEndianAndSigned)
{
    const std::string bytes("\x01\x00\x00\x00\xC0\xE0\x00\x00\x0C\xFE\xFF\xFF\x00\x00\x00\x80\x7F", 17);
    EXPECT_EQ(record_words::word(bytes, 0), 1);
    EXPECT_EQ(record_words::word(bytes, 1), 57536);
    EXPECT_EQ(record_words::word(bytes, 2), -500);
    EXPECT_EQ(record_words::word(bytes, 3), INT32_MIN);
    EXPECT_THROW(record_words::word(bytes, 4), std::out_of_range); // one byte of it is there
}

TEST(ScratchDirTest, IsRemovedWithItsContents)
{
    fs::path kept;
    {
        ScratchDir scratch("zarpo-scratch");
        kept = scratch.path();
        ASSERT_TRUE(fs::is_directory(kept));
        fs::create_directories(scratch / "a" / "b");
        std::ofstream(scratch / "a" / "b" / "file") << "x";
        // Unwritable, as the picture tests leave it (root writes anyway).
        fs::permissions(kept, fs::perms::owner_read | fs::perms::owner_exec);
    }
    EXPECT_FALSE(fs::exists(kept));
}

// The CSV tests stand on this reader: what it lets through, they cannot see.
TEST(CsvCells, RowsOnlyOfNewlineEndedTextAndNumbersOnlyOfWholeCells)
{
    using csv_cells::Rows;
    struct Case {
        const char* text;
        std::optional<Rows> rows;
    };
    const Case cases[] = {
        {"", Rows{}},
        {"a,b\n1,\n", Rows{{"a", "b"}, {"1", ""}}},
        {",\n", Rows{{"", ""}}},
        {"a\n\n", Rows{{"a"}, {""}}},
        {"a,b", std::nullopt},     // last line without its end
        {"a,b\r\n", std::nullopt}, // Windows line end
        {"a\rb\n", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(csv_cells::rows(c.text), c.rows) << '"' << c.text << '"';

    EXPECT_EQ(csv_cells::number("-1.25"), -1.25);
    EXPECT_EQ(csv_cells::number("1e3"), 1000.0);
    for (const char* bad : {"", "1,5", "1.5 ", " 1", "x", "1.5x"})
        EXPECT_TRUE(std::isnan(csv_cells::number(bad))) << '"' << bad << '"';
}

class ChildProcessTest : public ::testing::Test {
protected:
    static bool alive(pid_t pid) { return ::kill(pid, 0) == 0; }

    ScratchDir scratch{"zarpo-child"};
    const fs::path dir = scratch.path();
};

TEST_F(ChildProcessTest, ExitStatusAndOutput)
{
    // Standard error goes with standard output unless it has a file of its own.
    ChildProcess both("/bin/sh", {"-c", "echo out; echo err >&2; exit 3"}, {dir / "both.out"});
    EXPECT_EQ(both.wait(10s), 3);
    EXPECT_EQ(both.output(), "out\nerr\n");

    ChildProcess apart("/bin/sh", {"-c", "pwd; echo err >&2"}, {dir / "apart.out", dir / "apart.err", dir});
    EXPECT_EQ(apart.wait(10s), 0);
    EXPECT_EQ(apart.output(), dir.string() + "\n");
    std::ifstream err(dir / "apart.err");
    std::string line;
    std::getline(err, line);
    EXPECT_EQ(line, "err");
}

TEST_F(ChildProcessTest, WaitsForOutputUntilItComesOrTheChildEnds)
{
    ChildProcess later("/bin/sh", {"-c", "sleep 0.2; echo ready; sleep 30"}, {dir / "later.out"});
    EXPECT_EQ(later.waitForOutput("ready", 10s), "ready\n");
    EXPECT_TRUE(later.running());

    // A child that has ended writes nothing more: no wait for the deadline.
    ChildProcess ended("/bin/sh", {"-c", "echo other"}, {dir / "ended.out"});
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ended.waitForOutput("ready", 30s), "other\n");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
}

TEST_F(ChildProcessTest, SignalsDeadlinesAndTheEnd)
{
    ChildProcess stopped("/bin/sleep", {"30"});
    stopped.signal(SIGTERM);
    EXPECT_EQ(stopped.wait(10s), ChildProcess::kSignalled);
    stopped.signal(SIGTERM); // ended: nothing to signal, no fault

    ChildProcess late("/bin/sleep", {"30"});
    const pid_t latePid = late.pid();
    EXPECT_EQ(late.wait(100ms), ChildProcess::kTimedOut);
    EXPECT_FALSE(late.running());
    EXPECT_FALSE(alive(latePid));

    pid_t left = -1;
    {
        ChildProcess running("/bin/sleep", {"30"});
        left = running.pid();
        EXPECT_TRUE(alive(left));
    }
    EXPECT_FALSE(alive(left)) << "terminated and reaped when the object went";
}

TEST_F(ChildProcessTest, AProgramThatCannotStartIsAnError)
{
    EXPECT_THROW(ChildProcess("/nonexistent/program", {}), std::runtime_error);
    EXPECT_THROW(ChildProcess("/bin/true", {}, {dir / "no" / "such" / "folder.out"}), std::runtime_error);
}

TEST_F(ChildProcessTest, AQvnsimThatEndsWithoutItsLinkIsAnError)
{
    const auto start = std::chrono::steady_clock::now();
    try {
        QvnsimProcess sim("/bin/false", dir.string());
        ADD_FAILURE() << "no link, yet ready";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("ended before it linked"), std::string::npos) << e.what();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, QvnsimProcess::kLinkDeadline);
}

} // namespace
