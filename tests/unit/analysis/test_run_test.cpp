// The sampler step and the tracking test's own move.

#include <cmath>

#include <gtest/gtest.h>

#include "analysis/test_run.h"

namespace {

using analysis::RunOrigins;
using analysis::Sample;
using analysis::sampleStep;

TEST(TrackingMove, DerivedFromTheSiderealSpeedRoundedHalfToEven)
{
    const struct {
        double S;
        const char *speed, *step;
        double target;
        const char* accel;
    } cases[] = {
        {40, "100", "300", 300, "4000"}, {40.1, "100", "301", 300.75, "4010"}, // 100.25 and 300.75
        {0.2, "0", "2", 1.5, "20"},                                            // 0.5 to even 0, 1.5 to even 2
        {0.6, "2", "4", 4.5, "60"},                                            // 1.5 to 2, 4.5 to 4
        {-4, "-10", "-30", -30, "-400"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.S);
        const auto m = analysis::trackingMove(c.S);
        EXPECT_EQ(m.graphSpeedText, c.speed);
        EXPECT_EQ(m.graphStepText, c.step);
        EXPECT_DOUBLE_EQ(m.target, c.target);
        EXPECT_EQ(m.accelText, c.accel);
    }
}

TEST(TrackingMove, StartCommandsInOrderWithTheirPauses)
{
    const auto cmds = analysis::trackingStartCommands('C', analysis::trackingMove(40), 120, 75);
    ASSERT_EQ(cmds.size(), 4u);
    const char* bodies[] = {"C&f0", "C&R", "C&a4000", "C&s100"};
    const int pauses[] = {120, 120, 120, 75};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(cmds[i].body, bodies[i]);
        EXPECT_EQ(cmds[i].pauseMs, pauses[i]);
    }
}

TEST(TrackingMove, AllowedOnlyWhenTrackingInTheSiderealSystemWithoutOffset)
{
    EXPECT_TRUE(analysis::trackingTestAllowed(1, true, 0));
    EXPECT_FALSE(analysis::trackingTestAllowed(0, true, 0));
    EXPECT_FALSE(analysis::trackingTestAllowed(1, false, 0));
    EXPECT_FALSE(analysis::trackingTestAllowed(1, true, -500));
    EXPECT_EQ(analysis::kTrackingTestRefused, "Motor must be tracking in sidereal ref. system \r\nand offset track "
                                              "speed must be zero\r\nto do the track test");
}

Sample sample(int index, double sid, double pos, RunOrigins origins = {}, TANALYZETEST kind = anaStep)
{
    Sample s;
    s.index = index;
    s.sidTime = sid;
    s.position = pos;
    s.sidSpeed = 40;
    s.target = 12000;
    s.origins = origins;
    s.kind = kind;
    s.address = 'A';
    s.graphStepText = "12000";
    return s;
}

TEST(SampleStep, OriginsAndTheMoveAtTheSixthSampleOnly)
{
    const RunOrigins previous{1000, 50, 1680};
    for (int i : {0, 4, 6, 7}) {
        SCOPED_TRACE(i);
        const auto r = sampleStep(sample(i, 10, 20, previous));
        EXPECT_FALSE(r.move);
        EXPECT_EQ(r.origins.initialSid, 1000);
        EXPECT_EQ(r.origins.initialPos, 50);
        EXPECT_EQ(r.origins.finalSid, 1680);
    }
    const struct {
        TANALYZETEST kind;
        const char* move;
    } kinds[] = {{anaStep, "A&D12000"}, {anaGoto, "A&G12000"}, {anaTrack, "A&D12000"}};
    for (const auto& k : kinds) {
        const auto r = sampleStep(sample(5, 200, 30, previous, k.kind));
        ASSERT_TRUE(r.move);
        EXPECT_EQ(r.move->body, k.move);
        EXPECT_EQ(r.move->pauseMs, 200);
        EXPECT_EQ(r.origins.initialSid, 200);
        EXPECT_EQ(r.origins.initialPos, 30);
        EXPECT_EQ(r.origins.finalSid, 200 + 17 * 40);
        EXPECT_EQ(*r.percent, "0 %");
        EXPECT_FALSE(r.ends);
    }
}

TEST(SampleStep, ProgressAndErrorFromTheOriginsInForce)
{
    const RunOrigins run{200, 30, 880};
    const struct {
        int index;
        double sid, pos;
        RunOrigins origins;
        const char* percent;
        double error;
    } cases[] = {
        {10, 540, 0, run, "52 %", 0},              // 340 × 105 / 680 = 52.5, to even
        {12, 542, 0, run, "53 %", 0},              // 52.8
        {40, 880, 0, run, "105 %", 0},             // the end of the run's 17 s
        {2, 40, 0, {1000, 50, 1680}, "-148 %", 0}, // a second run before its origins: -148.2
        {1, 3, 0, {}, "0 %", 0},                   // the first run: zero origins
        {9, 1010, 1000, run, "125 %", -150},       // error (1000 - 1010 + 0) × 600 / 40
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        Sample s = sample(c.index, c.sid, c.pos, c.origins);
        s.target = c.error == 0 ? c.sid - c.pos : 0;
        const auto r = sampleStep(s);
        EXPECT_EQ(r.percent.value_or("none"), c.percent);
        EXPECT_DOUBLE_EQ(r.error, c.error);
    }
    // 40 pixels per arcsecond, 15 arcseconds per sidereal second.
    Sample s = sample(8, 100, 101, run);
    s.target = 0;
    EXPECT_DOUBLE_EQ(sampleStep(s).error, 1 * 40 * 15 / 40.0);
}

TEST(SampleStep, EndsAfterIndexSixOnTheFirstSamplePastTheLimitOrAtTheLastBufferEntry)
{
    const RunOrigins run{200, 30, 880}; // limit 680: the count restarted at zero
    const struct {
        int index;
        double sid;
        bool ends;
    } cases[] = {
        {7, 681, true},    {7, 680, false},                     // strictly past
        {6, 5000, false},  {2, 5000, false},                    // never before index 7
        {100, 400, false}, {598, 400, false}, {599, 400, true}, // the buffers' end
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        EXPECT_EQ(sampleStep(sample(c.index, c.sid, 0, run)).ends, c.ends);
    }
    // Before the first origins the limit is zero: every positive count passes it.
    EXPECT_TRUE(sampleStep(sample(7, 1, 0, {})).ends);
}

TEST(SampleStep, NoSiderealSpeedGivesNoProgressButTheRunStillEnds)
{
    Sample s = sample(5, 100, 0);
    s.sidSpeed = 0;
    auto r = sampleStep(s);
    EXPECT_FALSE(r.percent); // not "nan %" or "inf %"
    EXPECT_FALSE(std::isfinite(r.error));
    s.index = 7;
    s.sidTime = 101;
    s.origins = r.origins;
    r = sampleStep(s);
    EXPECT_FALSE(r.percent);
    EXPECT_TRUE(r.ends);
}

} // namespace
