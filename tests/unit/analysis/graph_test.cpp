// The planned picture: scales, frames, captions, curves and the statistics.

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/graph.h"

namespace {

using analysis::DrawOp;
using Kind = analysis::DrawOp::Kind;
using namespace analysis;

DrawOp line(int x1, int y1, int x2, int y2, TColor c) { return {Kind::Line, x1, y1, x2, y2, c, clNone, {}, 0}; }
DrawOp text(int x, int y, TColor c, std::string s) { return {Kind::Text, x, y, 0, 0, c, clNone, std::move(s), 0}; }

bool has(const Graph& g, const DrawOp& op) { return std::find(g.ops.begin(), g.ops.end(), op) != g.ops.end(); }

std::vector<DrawOp> ofColour(const Graph& g, Kind kind, TColor c)
{
    std::vector<DrawOp> out;
    for (const DrawOp& op : g.ops)
        if (op.kind == kind && op.colour == c) out.push_back(op);
    return out;
}

// A run's samples in buffers of 600, with the input the window would pass.
struct TestCurve {
    std::array<double, 600> sid{}, pos{}, err{};
    GraphInput in;

    TestCurve(TANALYZETEST kind, int refSyst, double S, double G, double F)
    {
        in.kind = kind;
        in.refSyst = refSyst;
        in.sidSpeed = S;
        in.graphStep = G;
        in.graphSpeed = F;
        in.interval1 = 150;
        in.sid = sid;
        in.pos = pos;
        in.err = err;
        in.graphStepText = "12000";
        in.graphSpeedText = "3000";
        in.accelText = "3000";
        in.finalText = "0";
        in.sidSpeedText = "40";
        in.trackSpeedText = "0";
        in.kpText = "7";
        in.kiText = "20";
    }
    // Samples 0..last at `dsid` sidereal steps apart, origins at sample 5.
    void samples(int last, double dsid, double S)
    {
        for (int i = 0; i <= last; ++i) sid[i] = i * dsid;
        in.last = last;
        in.origins = {sid[5], pos[5], sid[5] + 17 * S};
    }
    Graph plan() const { return planGraph(in); }
};

TEST(GraphScales, PixelsPerUnitOfEachAxis)
{
    const auto s = graphScales(12000, 3000, 40, 150);
    EXPECT_DOUBLE_EQ(*s.position, 0.015);
    EXPECT_DOUBLE_EQ(*s.speed, 0.06 * 400 / 150);
    EXPECT_DOUBLE_EQ(s.time, 30 / 40.0 * 1.05);
    EXPECT_DOUBLE_EQ(*graphScales(-300, -100, 40, 150).position, 0.6); // magnitudes

    const struct {
        std::optional<double> G, F, S;
        bool position, speed;
        double time;
    } undefined[] = {
        {0, 3000, 40, false, true, 0.7875},
        {12000, 0, 40, true, false, 0.7875},
        {std::nullopt, std::nullopt, std::nullopt, false, false, 0},
        {12000, 3000, 0, true, true, 0},
        {12000, 3000, -40, true, true, 0},
        {1e-320, 3000, 1e-320, false, true, 0}, // 180 / G and 30 / S overflow
    };
    for (const auto& c : undefined) {
        const auto s2 = graphScales(c.G, c.F, c.S, 150);
        EXPECT_EQ(s2.position.has_value(), c.position);
        EXPECT_EQ(s2.speed.has_value(), c.speed);
        EXPECT_DOUBLE_EQ(s2.time, c.time);
    }
}

TEST(GraphPlan, AxesTicksAndLegendsOfEveryPicture)
{
    TestCurve r(anaStep, 0, 40, 12000, 3000);
    r.samples(30, 40, 40);
    const Graph g = r.plan();
    ASSERT_GE(g.ops.size(), 4u);
    EXPECT_EQ(g.ops[0], (DrawOp{Kind::Rectangle, 0, 0, 600, 480, clBlack, clWhite, {}, 0}));
    EXPECT_EQ(g.ops[1], line(0, 240, 530, 240, clBlack));
    EXPECT_EQ(g.ops[2], line(20, 0, 20, 480, clBlack));
    EXPECT_EQ(g.ops[3], (DrawOp{Kind::FontSize, 0, 0, 0, 0, clBlack, clNone, {}, 8}));
    for (int i = 1; i <= 16; ++i) {
        EXPECT_TRUE(has(g, line(30 * i + 20, 240, 30 * i + 20, 255, clBlack))) << i;
        EXPECT_TRUE(has(g, text(30 * i + 16, 257, clGray, std::to_string(i)))) << i;
    }
    for (const DrawOp& op : {text(515, 257, clGray, "seconds"), text(534, 232, clGray, "START"),
                             text(320, 460, clRed, "POSITION curve"), text(480, 460, clGreen, "SPEED curve")})
        EXPECT_TRUE(has(g, op)) << op.text;
}

TEST(GraphPlan, CaptionsFollowTheKindTheTrackingStateAndTheMotor)
{
    const DrawOp doing = text(410, 80, clGray, "Do 12000 steps at 3000 steps/s");
    const DrawOp accel = text(410, 95, clGray, "Acceleration = 3000 steps/s\xC2\xB2");
    const DrawOp fin = text(410, 110, clGray, "Final Approach = 0 steps");
    const DrawOp sid = text(410, 125, clGray, "Sidereal speed = 40 steps/s");
    const DrawOp offset = text(410, 140, clGray, "Offset tracking at 0 steps/s");
    const DrawOp pi = text(410, 155, clGray, "KP = 7;    KI = 20");
    const struct {
        TANALYZETEST kind;
        bool tracking;
        int motor;
        std::vector<bool> shown; // doing, accel, fin, sid, offset, pi
    } cases[] = {
        {anaStep, false, 0, {true, true, false, false, false, true}},
        {anaGoto, false, 1, {true, true, true, false, false, false}},
        {anaTrack, true, 0, {false, false, false, true, true, true}},
        {anaGoto, true, 2, {true, true, true, true, true, false}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.kind));
        TestCurve r(c.kind, 0, 40, 12000, 3000);
        r.in.tracking = c.tracking;
        r.in.motorType = c.motor;
        r.samples(30, 40, 40);
        const Graph g = r.plan();
        const DrawOp ops[] = {doing, accel, fin, sid, offset, pi};
        for (int i = 0; i < 6; ++i) EXPECT_EQ(has(g, ops[i]), c.shown[i]) << ops[i].text;
    }
}

TEST(GraphPlan, FixedFrameDrawsLevelTargetsAndAFullMoveOnTheUpperOne)
{
    TestCurve r(anaStep, 0, 40, 12000, 3000);
    // Position climbs to +12000 steps by sample 10 and stays.
    for (int i = 6; i < 30; ++i) r.pos[i] = std::min(12000.0, (i - 5) * 2400.0);
    r.samples(29, 40, 40);
    const Graph g = r.plan();
    for (const DrawOp& op : {line(21, 420, 530, 420, clGray), line(21, 60, 530, 60, clGray),
                             text(534, 52, clGray, "TARGET"), text(534, 412, clGray, "TARGET"),
                             text(25, 6, clGray, "positive direction"), text(25, 460, clGray, "negative direction"),
                             text(140, 440, clBlack, "REF. SYSTEM: FIXED;      DC SERVO MOTOR")})
        EXPECT_TRUE(has(g, op)) << op.text;
    const auto red = ofColour(g, Kind::Line, clRed);
    ASSERT_FALSE(red.empty());
    EXPECT_EQ(red.back().y2, 60); // 180 pixels above the axis
    EXPECT_TRUE(ofColour(g, Kind::Line, clBlue).empty());
    EXPECT_FALSE(g.stats);

    r.in.motorType = 1;
    EXPECT_TRUE(has(r.plan(), text(140, 440, clBlack, "REF. SYSTEM: FIXED;       STEPPER MOTOR")));
}

TEST(GraphPlan, SiderealFrameRisesWithTheSkyAndShowsTheErrorBand)
{
    TestCurve r(anaTrack, 1, 40, 300, 100);
    r.samples(30, 40, 40);
    const Graph g = r.plan();
    // L = round(0.6 × 40 × 17 / 1.05) = 389: the upper target leaves at the top.
    for (const DrawOp& op :
         {line(21, 420, 530, 31, clGray), line(21, 60, 530, -329, clGray), text(534, -337, clGray, "TARGET"),
          text(534, 23, clGray, "TARGET"), text(25, 6, clGray, "WEST direction"),
          text(25, 460, clGray, "EAST direction"), text(140, 440, clBlack, "REF. SYSTEM: SIDEREAL;    DC SERVO MOTOR"),
          line(21, 200, 530, 200, clAqua), line(21, 280, 530, 280, clAqua), text(160, 460, clBlue, "TRACK ERR. curve"),
          text(5, 194, clBlue, "1\""), text(5, 274, clBlue, "1\"")})
        EXPECT_TRUE(has(g, op)) << op.text << " " << op.y1;
    EXPECT_FALSE(ofColour(g, Kind::Line, clBlue).empty());

    TestCurve step(anaStep, 1, 40, 300, 100);
    step.in.motorType = 1;
    step.samples(30, 40, 40);
    const Graph s = step.plan();
    EXPECT_TRUE(has(s, text(140, 440, clBlack, "REF. SYSTEM: SIDEREAL;     STEPPER MOTOR")));
    EXPECT_TRUE(ofColour(s, Kind::Line, clAqua).empty());
    EXPECT_TRUE(ofColour(s, Kind::Line, clBlue).empty());
    EXPECT_FALSE(s.stats);
}

TEST(GraphPlan, CurvesRunFromTheOriginToTheFirstSamplePastTheLimit)
{
    TestCurve r(anaTrack, 1, 40, 300, 100);
    for (int i = 0; i < 600; ++i) r.pos[i] = 1000 + 3 * i;
    // The count restarted at zero: the limit is 17 s × 40 = 680, reached by
    // sample 17; the run's last sample is 18.
    r.samples(18, 40, 40);
    r.err[6] = 40.4;
    r.err[5] = -12.5;
    const Graph g = r.plan();
    const auto green = ofColour(g, Kind::Line, clGreen);
    const auto red = ofColour(g, Kind::Line, clRed);
    const auto blue = ofColour(g, Kind::Line, clBlue);
    ASSERT_EQ(green.size(), 12u); // segments 5-6 ... 16-17
    ASSERT_EQ(red.size(), 12u);
    ASSERT_EQ(blue.size(), 12u);
    // t(6) = round(40 × 0.7875) = 32 (31.5 to even); the speed of sample 5
    // comes from the baseline sample 4: 3 steps × 4.8 = 14.4.
    EXPECT_EQ(green[0], line(20, 226, 52, 226, clGreen));
    EXPECT_EQ(red[0], line(20, 240, 52, 238, clRed));   // 3 steps × 0.6 = 1.8
    EXPECT_EQ(blue[0], line(20, 252, 52, 200, clBlue)); // -12.5 to even -12, 40.4
    EXPECT_EQ(red.back().x2, 20 + 378);                 // t(17) = 480 × 0.7875

    // A run cut at its last buffered sample never reached the limit: the
    // curves stop there, whatever the buffers hold beyond.
    TestCurve cut(anaStep, 0, 40, 300, 100);
    cut.samples(10, 1, 40);
    EXPECT_EQ(ofColour(cut.plan(), Kind::Line, clRed).size(), 5u);
}

TEST(GraphPlan, StatisticsWindowAndBlock)
{
    // S = 31.5 gives one pixel per step: samples 2 steps apart from t = 1.
    TestCurve r(anaTrack, 1, 31.5, 300, 100);
    r.samples(320, 2, 31.5);
    for (int i = 0; i <= 320; ++i) r.sid[i] = (i - 5) * 2 + 1;
    r.sid[5] = 0;
    r.in.origins = {0, 0, 17 * 31.5};
    for (int i = 0; i <= 320; ++i) r.err[i] = 40 * ((i % 2) ? 0.5 : -0.5);
    const Graph g = r.plan();
    ASSERT_TRUE(g.stats);
    EXPECT_EQ(g.stats->n, 150); // t = 171, 173, ..., 469
    EXPECT_EQ(g.trackErr.size(), 150u);
    const std::vector<DrawOp> blueText = ofColour(g, Kind::Text, clBlue);
    std::vector<std::string> block;
    for (const DrawOp& op : blueText)
        if (op.x1 == 140) block.push_back(std::to_string(op.y1) + " " + op.text);
    const std::vector<std::string> expected = {
        "10 ERRORS CAUSED BY MOTOR CONTROL ONLY:",
        "25 Mean offset position while tracking    =  0.000 arcsec",
        "40 Tracking peak to peak deviation =  1.000 arcsec",
        "55 Tracking standard deviation  =    0.500 arcsec (each side of mean)",
        "70 68.2% of light inside a spot of  0.500 arcsec radius",
        "85 95.4% of light inside a spot of  1.000 arcsec radius",
        "100 Number of points for stats = 150",
    };
    EXPECT_EQ(block, expected);

    r.in.offsetTrackSpeed = 1; // no statistics with an offset speed
    EXPECT_FALSE(r.plan().stats);
    r.in.offsetTrackSpeed = 0;
    r.in.refSyst = 2; // a sidereal frame, but not the reference system 1
    EXPECT_FALSE(r.plan().stats);
}

TEST(TrackingStats, SentinelsMeanAndPopulationDeviation)
{
    const struct {
        std::vector<double> d;
        double mean, max, min, sigma;
    } cases[] = {
        {{1, -2, 3}, 2.0 / 3, 3, -2, std::sqrt(114.0 / 27)},
        {{12, 12, 12}, 12, 12, 10, 0},      // the minimum stays at +10: peak to peak 2
        {{-12, -11}, -11.5, -10, -12, 0.5}, // the maximum stays at -10
        {{0.25}, 0.25, 0.25, 0.25, 0},
    };
    for (const auto& c : cases) {
        const TrackingStats s = trackingStats(c.d);
        EXPECT_EQ(s.n, int(c.d.size()));
        EXPECT_DOUBLE_EQ(s.mean, c.mean);
        EXPECT_DOUBLE_EQ(s.maximum, c.max);
        EXPECT_DOUBLE_EQ(s.minimum, c.min);
        EXPECT_NEAR(s.sigma, c.sigma, 1e-12);
    }
    EXPECT_DOUBLE_EQ(trackingStats(std::vector<double>{12, 12}).peakToPeak(), 2);
}

TEST(TrackingStats, LinesInTheLocaleAndWithoutSamples)
{
    const TrackingStats s = trackingStats(std::vector<double>{0.1234, -0.5, 0.25});
    const auto lines = statisticsLines(s, ',');
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[1], "Mean offset position while tracking    =  -0,042 arcsec");
    EXPECT_EQ(lines[2], "Tracking peak to peak deviation =  0,750 arcsec");
    EXPECT_EQ(lines[6], "Number of points for stats = 3");
    EXPECT_EQ(statisticsLines(trackingStats({}), '.'),
              (std::vector<std::string>{"ERRORS CAUSED BY MOTOR CONTROL ONLY:", "Number of points for stats = 0"}));
}

TEST(GraphPlan, WhatCannotBeComputedIsLeftOutNeverDrawnAsNanOrInf)
{
    const struct {
        const char* name;
        std::optional<double> G, F, S;
        double runSidSpeed; // test_sidspeed of the sampler
        bool red, green;
    } cases[] = {
        {"graph step zero", 0, 100, 40, 40, false, true},
        {"graph speed zero", 300, 0, 40, 40, true, false},
        {"texts that do not convert", std::nullopt, std::nullopt, std::nullopt, 40, false, false},
        {"sidereal speed edit zero", 300, 100, 0, 40, true, true},
        {"negative sidereal speed edit", 300, 100, -40, 40, true, true},
        {"a run without sidereal speed", 300, 100, 40, 0, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestCurve r(anaTrack, 1, 40, 300, 100);
        r.in.graphStep = c.G;
        r.in.graphSpeed = c.F;
        r.in.sidSpeed = c.S;
        r.samples(18, 40, c.runSidSpeed);
        for (int i = 0; i <= 18; ++i) {
            r.pos[i] = i * 7.0;
            r.err[i] = c.runSidSpeed == 0 ? INFINITY : 3.0; // the sampler divides by the speed
        }
        const Graph g = r.plan();
        EXPECT_EQ(!ofColour(g, Kind::Line, clRed).empty(), c.red);
        EXPECT_EQ(!ofColour(g, Kind::Line, clGreen).empty(), c.green);
        for (const DrawOp& op : g.ops) {
            std::string lower = op.text;
            for (char& ch : lower) ch = char(std::tolower(static_cast<unsigned char>(ch)));
            EXPECT_EQ(lower.find("nan"), std::string::npos) << op.text;
            EXPECT_EQ(lower.find("inf"), std::string::npos) << op.text;
            EXPECT_LE(std::abs(op.y1), 16000);
            EXPECT_LE(std::abs(op.y2), 16000);
        }
        ASSERT_TRUE(g.stats);
        if (!c.S || *c.S <= 0 || c.runSidSpeed == 0) {
            // No time scale: every point at x = 20 and nothing in the statistics.
            for (const DrawOp& op : ofColour(g, Kind::Line, clRed)) EXPECT_EQ(op.x1, 20);
            EXPECT_EQ(g.stats->n, 0);
        }
    }
}

TEST(GraphPlan, HugeValuesAreCutToTheirVisiblePart)
{
    TestCurve r(anaStep, 0, 40, 12000, 3000);
    r.samples(18, 40, 40);
    r.pos[10] = 1e12; // a runaway position reading
    const Graph g = r.plan();
    const auto red = ofColour(g, Kind::Line, clRed);
    ASSERT_EQ(red.size(), 12u);
    // The segments to and from the wild sample keep their direction: from
    // x = 146 to 178 (and 178 to 209) over 1.5e10 pixels is vertical where it can be seen.
    EXPECT_EQ(red[4], line(146, 240, 146, -16000, clRed));
    EXPECT_EQ(red[5], line(209, -16000, 209, 240, clRed));
}

} // namespace
