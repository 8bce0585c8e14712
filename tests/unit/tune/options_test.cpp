// zarpo-tune's command line and grids: what is taken, and the one-line
// message of everything that is not.

#include <gtest/gtest.h>

#include "options.h"

namespace {

using tune::Options;
using tune::parseGrid;
using tune::parseOptions;
using tune::UsageError;

std::vector<std::string> args(std::initializer_list<const char*> a) { return {a.begin(), a.end()}; }

TEST(TuneOptions, DefaultsAndEveryOption)
{
    const Options d = parseOptions(args({"--port", "COM99"}));
    EXPECT_EQ(d.port, "COM99");
    EXPECT_EQ(d.baud, "57600");
    EXPECT_EQ(d.address, 1);
    EXPECT_FALSE(d.settings || d.kp || d.ki || d.csv || d.writeBest);
    EXPECT_EQ(d.runs, 1);
    EXPECT_FALSE(d.quiet || d.help);

    const Options o = parseOptions(
        args({"--port", "COM5", "--baud", "115200", "--address", "15", "--settings", "m.qvm", "--kp", "5,7,9", "--ki",
              "10:40:10", "--runs", "3", "--csv", "out.csv", "--write-best", "best.qvm", "--quiet"}));
    EXPECT_EQ(o.port, "COM5");
    EXPECT_EQ(o.baud, "115200");
    EXPECT_EQ(o.address, 15);
    EXPECT_EQ(o.settings, "m.qvm");
    EXPECT_EQ(o.kp, (std::vector<std::int32_t>{5, 7, 9}));
    EXPECT_EQ(o.ki, (std::vector<std::int32_t>{10, 20, 30, 40}));
    EXPECT_EQ(o.runs, 3);
    EXPECT_EQ(o.csv, "out.csv");
    EXPECT_EQ(o.writeBest, "best.qvm");
    EXPECT_TRUE(o.quiet);

    // --help wins over everything, even a missing port.
    EXPECT_TRUE(parseOptions(args({"--kp", "x", "--help"})).help);
    EXPECT_TRUE(parseOptions(args({"--help"})).help);
    EXPECT_TRUE(parseOptions(args({"--address", "0", "-h"})).help);
}

TEST(TuneOptions, Grids)
{
    struct Row {
        const char* text;
        std::vector<std::int32_t> values;
    };
    const Row rows[] = {
        {"7", {7}},
        {"0", {0}},
        {"5,7,9", {5, 7, 9}},
        {"9,5,7", {9, 5, 7}}, // the order given
        {"7,7,5,7", {7, 5}},  // a value twice is run once
        {"4:12:2", {4, 6, 8, 10, 12}},
        {"4:11:2", {4, 6, 8, 10}}, // the last only when reached
        {"3:3:1", {3}},
        {"0:2147483647:2147483647", {0, 2147483647}},
        {"2147483647", {2147483647}},
    };
    for (const Row& r : rows) EXPECT_EQ(parseGrid(r.text, "--kp"), r.values) << r.text;
}

TEST(TuneOptions, ErrorsAreOneLineNamingTheProblem)
{
    struct Row {
        std::vector<std::string> args;
        const char* message;
    };
    const Row rows[] = {
        {{}, "no port given (--port COM99, for example)"},
        {{"--kp", "7"}, "no port given (--port COM99, for example)"},
        {{"--port"}, "--port needs a value"},
        {{"--port", ""}, "--port: no port name"},
        {{"--port", "COM1", "--speed", "3"}, "unknown option \"--speed\""},
        {{"--port", "COM1", "COM2"}, "unknown option \"COM2\""},
        {{"--port", "COM1", "--baud", "fast"}, "--baud: \"fast\" is not a whole number"},
        {{"--port", "COM1", "--baud", "0"}, "--baud: 0 is out of range (1 to 4000000)"},
        {{"--port", "COM1", "--address", "16"}, "--address: 16 is out of range (0 to 15)"},
        {{"--port", "COM1", "--address", "-1"}, "--address: -1 is out of range (0 to 15)"},
        {{"--port", "COM1", "--runs", "0"}, "--runs: 0 is out of range (1 to 100)"},
        {{"--port", "COM1", "--runs", "2.5"}, "--runs: \"2.5\" is not a whole number"},
        {{"--port", "COM1", "--settings", ""}, "--settings: no file name"},
        {{"--port", "COM1", "--csv", ""}, "--csv: no file name"},
        {{"--port", "COM1", "--write-best", ""}, "--write-best: no file name"},
        {{"--port", "COM1", "--kp", ""}, "--kp: no gains given"},
        {{"--port", "COM1", "--kp", "5,,9"}, "--kp: an empty item in \"5,,9\""},
        {{"--port", "COM1", "--kp", "5,"}, "--kp: an empty item in \"5,\""},
        {{"--port", "COM1", "--ki", "1e3"}, "--ki: \"1e3\" is not a whole number"},
        {{"--port", "COM1", "--ki", " 7"}, "--ki: \" 7\" is not a whole number"},
        {{"--port", "COM1", "--ki", "+7"}, "--ki: \"+7\" is not a whole number"},
        {{"--port", "COM1", "--ki", "0x10"}, "--ki: \"0x10\" is not a whole number"},
        {{"--port", "COM1", "--kp", "-3"}, "--kp: -3 is out of range (0 to 2147483647)"},
        {{"--port", "COM1", "--kp", "2147483648"}, "--kp: 2147483648 is out of range (0 to 2147483647)"},
        {{"--port", "COM1", "--kp", "99999999999999"}, "--kp: \"99999999999999\" is not a whole number"},
        {{"--port", "COM1", "--kp", "4:12"}, "--kp: a range is FIRST:LAST:STEP, as in 4:12:2 (got \"4:12\")"},
        {{"--port", "COM1", "--kp", "4:12:2:1"}, "--kp: a range is FIRST:LAST:STEP, as in 4:12:2 (got \"4:12:2:1\")"},
        {{"--port", "COM1", "--kp", "4:12:0"}, "--kp: the step of \"4:12:0\" must be a whole number above 0"},
        {{"--port", "COM1", "--kp", "4:12:-2"}, "--kp: the step of \"4:12:-2\" must be a whole number above 0"},
        {{"--port", "COM1", "--kp", "12:4:2"}, "--kp: the range \"12:4:2\" runs backwards"},
        {{"--port", "COM1", "--kp", "0:5000:1"}, "--kp: more than 1000 values"},
        {{"--port", "COM1", "--kp", "x:5:1"}, "--kp: \"x\" is not a whole number"},
    };
    for (const Row& r : rows) {
        try {
            parseOptions(r.args);
            ADD_FAILURE() << "accepted: " << r.message;
        } catch (const UsageError& e) {
            EXPECT_STREQ(e.what(), r.message);
            EXPECT_EQ(std::string(e.what()).find('\n'), std::string::npos);
        }
    }
}

TEST(TuneOptions, UsageNamesEveryOption)
{
    const std::string u = tune::usageText();
    EXPECT_EQ(u.rfind("usage: zarpo-tune", 0), 0u);
    for (const char* o : {"--port", "--baud", "--address", "--settings", "--kp", "--ki", "--runs", "--csv",
                          "--write-best", "--quiet", "--help"})
        EXPECT_NE(u.find(o), std::string::npos) << o;
}

} // namespace
