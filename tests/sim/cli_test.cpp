// qvnsim's command line: values taken, mistakes named.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli.h"

namespace {

TEST(CommandLine, DefaultsAndValues)
{
    const auto none = qvnsim::parseCommandLine({});
    ASSERT_TRUE(none.line);
    EXPECT_EQ(none.line->com, 99);
    EXPECT_FALSE(none.line->portsDir);
    EXPECT_EQ(qvnsim::describe(none.line->options), "controllers 1, 2; dc");

    const auto all = qvnsim::parseCommandLine({"--com",    "7",        "--ports-dir",   "/tmp/p", "--controllers",
                                               "0,3,15",   "--motor",  "dc,stepper,dc", "--seed", "42",
                                               "--drop",   "0.25",     "--delay",       "40",     "--split",
                                               "--garble", "0.1",      "--halt-after",  "9",      "--vanish-after",
                                               "12.5",     "--sensor", "300",           "--quiet"});
    ASSERT_TRUE(all.line) << all.error;
    const auto& l = *all.line;
    EXPECT_EQ(l.com, 7);
    EXPECT_EQ(*l.portsDir, "/tmp/p");
    EXPECT_EQ(l.options.controllers, (std::vector<int>{0, 3, 15}));
    EXPECT_EQ(qvnsim::describe(l.options), "controllers 0, 3, 15; dc, stepper, dc");
    EXPECT_EQ(l.options.seed, 42u);
    EXPECT_DOUBLE_EQ(l.options.drop, 0.25);
    EXPECT_DOUBLE_EQ(l.options.delayMs, 40);
    EXPECT_TRUE(l.options.split);
    EXPECT_DOUBLE_EQ(l.options.garble, 0.1);
    EXPECT_DOUBLE_EQ(l.options.haltAfterS, 9);
    EXPECT_DOUBLE_EQ(l.options.vanishAfterS, 12.5);
    EXPECT_DOUBLE_EQ(l.options.sensorLevel, 300);
    EXPECT_TRUE(l.quiet);
}

TEST(CommandLine, MistakesAreNamed)
{
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const Case cases[] = {
        {{"--com", "0"}, "--com wants a port number from 1 to 99, not \"0\""},
        {{"--com", "COM5"}, "--com wants a port number from 1 to 99, not \"COM5\""},
        {{"--com"}, "--com needs a value"},
        {{"--controllers", "1,16"}, "--controllers wants numbers from 0 to 15, not \"16\""},
        {{"--controllers", "1,,2"}, "--controllers wants numbers from 0 to 15, not \"\""},
        {{"--controllers", "2,2"}, "--controllers names controller 2 twice"},
        {{"--motor", "servo"}, "--motor wants dc or stepper, not \"servo\""},
        {{"--controllers", "1,2,3", "--motor", "dc,stepper"}, "--motor gives 2 motors for 3 controllers"},
        {{"--drop", "1.5"}, "--drop wants a share from 0 to 1, not \"1.5\""},
        {{"--garble", "x"}, "--garble wants a number, not \"x\""},
        {{"--delay", "-5"}, "--delay wants milliseconds from 0 to 60000, not \"-5\""},
        {{"--delay", "1e300"}, "--delay wants milliseconds from 0 to 60000, not \"1e300\""},
        // Values that would overflow the conversion to whole cycles.
        {{"--halt-after", "1e19"}, "--halt-after wants seconds from 0 to 1000000, not \"1e19\""},
        {{"--vanish-after", "1000000.5"}, "--vanish-after wants seconds from 0 to 1000000, not \"1000000.5\""},
        {{"--halt-after", "-1"}, "--halt-after wants seconds from 0 to 1000000, not \"-1\""},
        {{"--halt-after", "1e400"}, "--halt-after wants a number, not \"1e400\""},
        {{"--sensor", "-1"}, "--sensor wants a level from 0 to 1023, not \"-1\""},
        {{"--delay", "0,5"}, "--delay wants a number, not \"0,5\""},
        {{"--sensor", "2000"}, "--sensor wants a level from 0 to 1023"},
        {{"--seed", "-1"}, "--seed wants a whole number from 0 up"},
        {{"--frobnicate"}, "unknown option \"--frobnicate\""},
    };
    for (const auto& c : cases) {
        const auto r = qvnsim::parseCommandLine(c.args);
        EXPECT_FALSE(r.line) << c.message;
        EXPECT_EQ(r.error.rfind(c.message, 0), 0u) << r.error;
    }
}

TEST(CommandLine, HelpNamesEveryOption)
{
    const std::string help = qvnsim::usageText();
    for (const char* opt : {"--com", "--ports-dir", "--controllers", "--motor", "--seed", "--drop", "--delay",
                            "--split", "--garble", "--halt-after", "--vanish-after", "--sensor", "--quiet", "--help"}) {
        EXPECT_NE(help.find(opt), std::string::npos) << opt;
    }
}

} // namespace
