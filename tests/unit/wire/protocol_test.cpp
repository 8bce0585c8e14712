#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "protocol/wire.h"

namespace {

using protocol::addressChar;
using protocol::frame;

TEST(Wire, FrameAndAddress)
{
    EXPECT_EQ(frame("C&S"), ":C&S#");
    EXPECT_EQ(frame(""), ":#");
    EXPECT_EQ(frame(protocol::kConnectionCheckBody), ":@&Q0#");

    const struct {
        int index;
        char expected;
    } cases[] = {{-1, '?'}, {0, '@'}, {1, 'A'}, {2, 'B'}, {15, 'O'}};
    for (const auto& c : cases) EXPECT_EQ(addressChar(c.index), c.expected) << "index " << c.index;

    EXPECT_EQ(protocol::statusRequest('C', false), ":C&Q0#");
    EXPECT_EQ(protocol::statusRequest('C', true), ":C&Q1#");
    EXPECT_EQ(protocol::statusRequest('?', false), ":?&Q0#");
}

TEST(Wire, CommandBodies)
{
    using namespace protocol::cmd;
    const char a = 'B';
    const struct {
        std::string body;
        const char* expected;
    } cases[] = {
        {resetCounters(a), "B&R"},
        {polarity(a, 4), "B&y4"},
        {polarity(a, 251), "B&y251"},
        {refSystem(a, 1), "B&C1"},
        {stopTracking(a), "B&N"},
        {freeMotor(a), "B&F"},
        {releaseController(a), "B&Z"},
        {sensorThreshold(a, 512), "B&h512"},
        {sensorThreshold(a, std::string_view("0x1F")), "B&h0x1F"},
        {moveSpeed(a, 1500), "B&s1500"},
        {moveSpeed(a, std::string_view(" 1500")), "B&s 1500"},
        {acceleration(a, -250), "B&a-250"},
        {acceleration(a, std::string_view("$FF")), "B&a$FF"},
        {finalApproach(a, 0), "B&f0"},
        {finalApproach(a, std::string_view("20")), "B&f20"},
        {stepPulseWidth(a, 10), "B&u10"},
        {stepPulseWidth(a, std::string_view("10")), "B&u10"},
        {kp(a, 2147483647), "B&p2147483647"},
        {kp(a, std::string_view("300")), "B&p300"},
        {ki(a, -2147483647 - 1), "B&i-2147483648"},
        {ki(a, std::string_view("-5")), "B&i-5"},
        {errorLimit(a, 100), "B&e100"},
        {errorLimit(a, std::string_view("100")), "B&e100"},
        {integralLimit(a, 50), "B&j50"},
        {integralLimit(a, std::string_view("50")), "B&j50"},
        {integralMaxSpeed(a, 7), "B&k7"},
        {integralMaxSpeed(a, std::string_view("7")), "B&k7"},
        {siderealSpeed(a, 15042), "B&r15042"},
        {offsetTrackSpeed(a, -500), "B&t-500"},
        {offsetTrackSpeed(a, std::string_view("1500")), "B&t1500"},
        {guideSpeed(a, 40000), "B&g40000"},
        {stopMotor(a), "B&S"},
        {resetIndex(a), "B&J"},
        {startTracking(a), "B&T"},
        {moveContinuous(a, "-2000"), "B&M-2000"},
        {changeSlewSpeed(a, "1000"), "B&w1000"},
        {moveBy(a, "1e3"), "B&D1e3"},
        {goTo(a, "+12"), "B&G+12"},
        {pulseMinus(a, "250"), "B&P-250"},
        {pulsePlus(a, "250"), "B&P+250"},
        {resetCounters('?'), "?&R"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.body, c.expected);
}

TEST(Wire, PolarityByte)
{
    int settings::TMYSETTINGS::*const fields[] = {
        &settings::TMYSETTINGS::setting_limitSWP,      &settings::TMYSETTINGS::setting_limitSWM,
        &settings::TMYSETTINGS::setting_enableVoltIdx, &settings::TMYSETTINGS::setting_invertDir,
        &settings::TMYSETTINGS::setting_freeAtStop,    &settings::TMYSETTINGS::setting_IndexEdgeIdx,
        &settings::TMYSETTINGS::setting_resetOnIndex,  &settings::TMYSETTINGS::setting_sensorDetectPol,
    };
    auto with = [&](int value) {
        settings::TMYSETTINGS s;
        std::memset(&s, 0, sizeof s);
        for (auto f : fields) s.*f = value;
        return s;
    };
    EXPECT_EQ(protocol::polarityByte(with(0)), 4);
    EXPECT_EQ(protocol::polarityByte(with(1)), 251);

    // Each setting alone flips its own bit away from the all-zero byte.
    const int bits[] = {1, 2, 4, 8, 16, 32, 64, 128};
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        settings::TMYSETTINGS s = with(0);
        s.*fields[i] = 1;
        EXPECT_EQ(protocol::polarityByte(s), 4 ^ bits[i]) << "setting " << i;
    }
    // Only exactly 1 sets a bit; enableVoltIdx's bit needs exactly 0.
    settings::TMYSETTINGS odd = with(2);
    EXPECT_EQ(protocol::polarityByte(odd), 0);
}

TEST(Wire, IsStatusReply)
{
    const struct {
        std::string reply;
        bool expected;
    } cases[] = {
        {"C0T011200A1150B512C#", true},
        {"@0S00A0B0C#", true},
        {"O1S00A0B0C#", true},
        {"A0S000#", true},                         // 7, the shortest
        {"A0S00#", false},                         // 6
        {"A" + std::string(34, '1') + "#", true},  // 36
        {"A" + std::string(35, '1') + "#", false}, // 37
        {"?0T011200A1150B512C#", false},
        {"P0T011200A1150B512C#", false},
        {"C0T011200A1150B512C", false},
        {"C0T011200A1150B512C#\r", false},
        {"RXFX", false},
        {"OK#", false},
        {"", false},
        {"\xC1"
         "0T011200A1150B512C#",
         false}, // 64 + 128: not an address
    };
    for (const auto& c : cases) EXPECT_EQ(protocol::isStatusReply(c.reply), c.expected) << '"' << c.reply << '"';
}

TEST(Wire, SplitDataPart)
{
    using V = std::vector<std::string_view>;
    const struct {
        const char* data;
        V expected;
    } cases[] = {
        {"1234A-567B89C#", {"1234", "-567", "89", "#"}},
        {"A#", {"", "#"}},
        {"#", {"#"}},
        {"", {""}},
        {"ABC", {"", "", "", ""}},
        {"12B34#", {"12", "34#"}},
        {"1A2A3A4A5#", {"1", "2", "3", "4", "5#"}},
    };
    for (const auto& c : cases) EXPECT_EQ(protocol::splitDataPart(c.data), c.expected) << '"' << c.data << '"';
}

TEST(Wire, ParseStatusReply)
{
    const std::string reply = "C0T011200A1150B512C#";
    const auto r = protocol::parseStatusReply(reply);
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(r->address, 'C');
    EXPECT_EQ(r->motorType, '0');
    EXPECT_EQ(r->state, 'T');
    EXPECT_EQ(r->internalState, 48);
    EXPECT_EQ(r->index, '1');
    EXPECT_EQ(r->fields, (std::vector<std::string_view>{"1200", "1150", "512", "#"}));
    // The fields are views into the reply itself.
    EXPECT_EQ(r->fields[0].data(), reply.data() + 5);

    const struct {
        std::string reply;
        unsigned expectedInternal;
    } codes[] = {
        {std::string("A1S") + '\x00' + "0A1B2C#", 0},
        {"A1S\x7F"
         "0A1B2C#",
         127},
        {"A1S\x80"
         "0A1B2C#",
         128},
        {"A1S\xC8"
         "0A1B2C#",
         200},
        {"A1S\xFF"
         "0A1B2C#",
         255},
    };
    for (const auto& c : codes) {
        const auto p = protocol::parseStatusReply(c.reply);
        ASSERT_TRUE(p.has_value());
        EXPECT_EQ(p->internalState, c.expectedInternal);
        EXPECT_EQ(p->motorType, '1');
    }

    for (const char* bad : {"?0T011200A1150B512C#", "C0T011200A1150B512C", "OK#", "RXFX"})
        EXPECT_FALSE(protocol::parseStatusReply(bad).has_value()) << bad;
}

} // namespace
