#include "controller/poll.h"

#include <gtest/gtest.h>

using namespace controller;

namespace {

TEST(PollTiming, RateTable)
{
    struct Row {
        int index;
        PollTiming t;
    };
    const Row rows[] = {
        {0, {483, 100, 150, 250}},  {1, {316, 100, 150, 250}},    {2, {233, 100, 150, 250}},
        {3, {183, 100, 150, 250}},  {4, {150, 100, 150, 250}},    {5, {126, 75, 120, 220}},
        {6, {108, 60, 100, 200}},   {7, {83, 43, 85, 175}},       {8, {66, 33, 70, 150}},
        {9, {50, 30, 60, 120}},     {-1, {150, 100, 150, 250}},   {10, {150, 100, 150, 250}},
        {-7, {150, 100, 150, 250}}, {1000, {150, 100, 150, 250}},
    };
    for (const Row& r : rows) {
        PollTiming t = pollTiming(r.index);
        EXPECT_EQ(t.interval1, r.t.interval1) << r.index;
        EXPECT_EQ(t.delay100, r.t.delay100) << r.index;
        EXPECT_EQ(t.delay150, r.t.delay150) << r.index;
        EXPECT_EQ(t.delay250, r.t.delay250) << r.index;
    }
}

TEST(StatusReply, TrackingReplyInBothSystems)
{
    auto d = readStatusReply("C0T011200A1150B512C#", 0, 0);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->i2cAddress, "I2C address: C = 67");
    EXPECT_EQ(d->motorType, "Motor Type: DC with encoder");
    EXPECT_EQ(d->motorTypeValue, 0);
    EXPECT_EQ(d->status, "Status: TRACKING");
    EXPECT_EQ(d->internalState, "Internal State: (48)");
    EXPECT_EQ(d->index, "Index = 1");
    EXPECT_TRUE(d->tracking);
    EXPECT_FALSE(d->moving);
    EXPECT_EQ(d->sidLabel, "Sidereal clock timestep =  1200");
    EXPECT_EQ(d->motLabel, "Motor position =           1150");
    EXPECT_TRUE(d->converted);
    EXPECT_EQ(d->sidTime, 1200);
    EXPECT_EQ(d->posit, 1150);
    EXPECT_EQ(d->sidCoor, 50);
    EXPECT_EQ(d->coorLabel, "Difference =               50");
    EXPECT_EQ(d->sensorLabel, "Sensor value = 512");

    auto s = readStatusReply("C0T011200A1150B512C#", 1, 1);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->motLabel, "Encoder position =         1150");
    EXPECT_EQ(s->coorLabel, "Sidereal position =        50");
}

TEST(StatusReply, PrefixesLineUp)
{
    auto a = readStatusReply("A1M0x3A2B1C#", 0, 0);
    auto b = readStatusReply("A1M0x3A2B1C#", 1, 1);
    ASSERT_TRUE(a && b);
    for (const std::string& label : {*a->sidLabel, *a->motLabel, a->coorLabel, *b->motLabel, b->coorLabel})
        EXPECT_EQ(label.size(), 28u) << label; // 27-character prefix + one digit
}

TEST(StatusReply, NotAReply)
{
    for (const char* text :
         {"RXFX", "A0S012", "P0S01A2B3C#", "?0S01A2B3C#", "OK#", "A0S01A2B3C", "A0S01123456789012345678901234567890A#"})
        EXPECT_FALSE(readStatusReply(text, 0, 0)) << text;
}

TEST(StatusReply, IncompleteOrUnconvertedData)
{
    // Too few fields: header only.
    auto few = readStatusReply("B1S01A#", 0, 0);
    ASSERT_TRUE(few);
    EXPECT_EQ(few->status, "Status: STOPPED and LOCKED");
    EXPECT_FALSE(few->enoughFields);
    EXPECT_FALSE(few->sidLabel);

    // First field not a number: both labels shown as received, no positions.
    auto bad = readStatusReply("B1S0112x0A1150B512C#", 0, 0);
    ASSERT_TRUE(bad);
    EXPECT_TRUE(bad->enoughFields);
    EXPECT_EQ(bad->sidLabel, "Sidereal clock timestep =  12x0");
    EXPECT_EQ(bad->motLabel, "Motor position =           1150");
    EXPECT_FALSE(bad->converted);
}

TEST(StatusReply, HeaderCases)
{
    struct Case {
        const char* reply;
        const char* status;
        const char* motor;
        int motorValue;
    };
    const Case cases[] = {
        {"A1Q01A2B3C#", "Status: UNKNOWN", "Motor Type: STEPPER", 1},
        {"A7E01A2B3C#", "Status: ERROR HALT", "Motor Type: STEPPER", 7},
        {"A0g01A2B3C#", "Status: GUIDING -", "Motor Type: DC with encoder", 0},
        {"AzX01A2B3C#", "Status: RELEASED and FREE", "Motor Type: STEPPER", 1}, // no digit
        {"A0u01A2B3C#", "Status: SENSOR BELOW TRESHOLD", "Motor Type: DC with encoder", 0},
    };
    for (const Case& c : cases) {
        auto d = readStatusReply(c.reply, 0, 0);
        ASSERT_TRUE(d) << c.reply;
        EXPECT_EQ(d->status, c.status);
        EXPECT_EQ(d->motorType, c.motor);
        EXPECT_EQ(d->motorTypeValue, c.motorValue);
    }
    EXPECT_TRUE(readStatusReply("A7E01A2B3C#", 0, 0)->errorHalt);
    // Internal-state codes above 127 read as 128..255.
    EXPECT_EQ(readStatusReply("A0S\xC8"
                              "1A2B3C#",
                              0, 0)
                  ->internalState,
              "Internal State: (200)");
}

TEST(StatusReply, DifferenceWrapsOnOverflow)
{
    auto d = readStatusReply("A0T0x-2147483648A1B0C#", 0, 0);
    ASSERT_TRUE(d && d->converted);
    EXPECT_EQ(d->sidCoor, 2147483647);
}

} // namespace

namespace {

TEST(StrictReply, OnlyTheControllersWellFormedRepliesCount)
{
    using V = ReplyVerdict;
    struct Row {
        const char* reply;
        V verdict;
        std::int32_t sid, pos;
    };
    const Row rows[] = {
        {"A0T011200A1150B512C#", V::Accepted, 1200, 1150},
        {"A1X0-1A-7B0C#", V::Accepted, 1, -7}, // a stepper, index "-", a negative field
        {"A0E01-2147483648A2147483647B0C#", V::Accepted, INT32_MIN, INT32_MAX},
        {"A0T011200A1150B#", V::Accepted, 1200, 1150}, // third field empty but present
        {"RXFX", V::NoReply, 0, 0},
        {"", V::NoReply, 0, 0},
        {"A0T01200#", V::BadFields, 0, 0},               // one field
        {"A0T01", V::NoReply, 0, 0},                     // too short for a status reply
        {"B0T011200A1150B512C#", V::WrongAddress, 0, 0}, // another controller
        {"@0T011200A1150B512C#", V::WrongAddress, 0, 0},
        {"A0Q011200A1150B512C#", V::UnknownState, 0, 0}, // "Q" is in no table
        {"A0t011200A1150B512C#", V::UnknownState, 0, 0},
        {"A0T011200A1150#", V::BadFields, 0, 0}, // two fields only
        {"A0T0112x0A1150B512C#", V::BadFields, 0, 0},
        {"A0T01x200A1150B512C#", V::BadFields, 0, 0},  // hexadecimal for the edits, garbled here
        {"A0T01 1200A1150B512C#", V::BadFields, 0, 0}, // a space
        {"A0T011200A11+0B512C#", V::BadFields, 0, 0},
        {"A0T01A1150B512C#", V::BadFields, 0, 0},      // empty first field
        {"A0T012147483648A0B0C#", V::BadFields, 0, 0}, // past 32 bits
        {"A0T01-A0B0C#", V::BadFields, 0, 0},
    };
    for (const Row& r : rows) {
        const StrictReply got = readReplyStrictly(r.reply, 'A');
        EXPECT_EQ(got.verdict, r.verdict) << r.reply;
        if (r.verdict == V::Accepted) {
            EXPECT_EQ(got.sidTime, r.sid) << r.reply;
            EXPECT_EQ(got.posit, r.pos) << r.reply;
        }
    }
    // The state letter and motor type travel with every status reply.
    EXPECT_EQ(readReplyStrictly("A1E011200A1150B512C#", 'A').state, 'E');
    EXPECT_EQ(readReplyStrictly("A1E011200A1150B512C#", 'A').motorType, '1');
}

TEST(StrictReply, EveryLetterOfTheStateTableIsKnown)
{
    for (char c : std::string_view("SFXMTGgWwUuE")) EXPECT_TRUE(knownState(c)) << c;
    for (char c : std::string_view("QsxZ0#")) EXPECT_FALSE(knownState(c)) << c;
}

} // namespace
