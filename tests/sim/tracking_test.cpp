// The tool's tracking test, replayed against the DC model on fixed seeds: the
// statistics of the tracking error must be small with the default gains and
// grow with gains too soft or too hard.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "sim_session.h"

namespace {

using simtest::Activation;
using simtest::Session;

struct TrackingStats {
    double mean = 0;
    double sd = 0;
    double peakToPeak = 0;
    int count = 0;
    char lastState = 0;
};

// Samples every 125 ms with "&Q1"; the sixth sample sends the move, which
// delays the next poll by 200 ms, as the tool's sampler does.
TrackingStats runTrackingTest(const Activation& gains, std::uint64_t seed = 1,
                              qvnsim::MotorKind motor = qvnsim::MotorKind::Dc)
{
    qvnsim::Options options;
    options.controllers = {1};
    options.motors = {motor};
    options.seed = seed;
    Session s(options);
    Activation a = gains;
    a.refSystem = 1;
    s.activate('A', a);
    s.send("A&t0", 0.15);
    s.send("A&T", 0.1);
    s.wait(2.0);

    const double sidSpeed = a.siderealSpeed / 1000.0;
    const double speed = std::nearbyint(2.5 * sidSpeed);
    const double target = 3 * 2.5 * sidSpeed;
    s.send("A&f0", 0.15);
    s.send("A&R", 0.15);
    s.send("A&a" + std::to_string(std::lround(2.5 * sidSpeed * 40)), 0.15);
    s.send("A&s" + std::to_string(std::lround(speed)), 0.1);

    std::vector<double> sid, pos;
    double initialSid = 0;
    TrackingStats stats;
    for (int i = 0; i < 600; ++i) {
        const auto st = s.status('A', true);
        stats.lastState = st.state;
        sid.push_back(static_cast<double>(st.sidereal));
        pos.push_back(static_cast<double>(st.position));
        if (i == 5) {
            initialSid = sid[5];
            s.send("A&D" + std::to_string(std::lround(target)), 0.2);
        }
        if (i > 6 && sid[i] > 17 * sidSpeed) break;
        s.wait(0.125);
    }
    // The samples drawn between x = 191 and 489 enter the statistics.
    const double x = 30 / sidSpeed * 1.05;
    std::vector<double> errors;
    for (std::size_t j = 6; j < sid.size(); ++j) {
        const double t = std::nearbyint((sid[j] - initialSid) * x);
        if (t > 170 && t < 470) errors.push_back((pos[j] - sid[j] + target) * 15 / sidSpeed);
    }
    stats.count = static_cast<int>(errors.size());
    if (errors.empty()) return stats;
    double sum = 0, hi = -1e300, lo = 1e300;
    for (double e : errors) {
        sum += e;
        hi = std::max(hi, e);
        lo = std::min(lo, e);
    }
    stats.mean = sum / static_cast<double>(errors.size());
    double sq = 0;
    for (double e : errors) sq += (e - stats.mean) * (e - stats.mean);
    stats.sd = std::sqrt(sq / static_cast<double>(errors.size()));
    stats.peakToPeak = hi - lo;
    return stats;
}

TEST(TrackingTest, DefaultGainsGiveAFewTenthsOfAnArcsecond)
{
    for (std::uint64_t seed : {1u, 2u, 3u, 4u, 5u}) {
        const auto st = runTrackingTest(Activation{}, seed);
        SCOPED_TRACE("seed " + std::to_string(seed));
        // About 9.5 s of samples at 8 per second.
        EXPECT_GT(st.count, 70);
        EXPECT_EQ(st.lastState, 'T');
        EXPECT_LT(std::abs(st.mean), 0.1) << "the integral holds the motor on the sky";
        EXPECT_GE(st.sd, 0.2);
        EXPECT_LE(st.sd, 0.5);
    }
}

// Too soft a loop lets the loads push the motor about; too hard a one meets
// the cycle's delay and the drive train's compliance and rings (or trips).
TEST(TrackingTest, ProportionalGainHasAnOptimumBetweenSoftAndHard)
{
    const int grid[] = {1, 3, 7, 15, 40, 120};
    for (std::uint64_t seed : {1u, 2u, 3u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::vector<TrackingStats> runs;
        for (const int kp : grid) {
            Activation a;
            a.kp = kp;
            runs.push_back(runTrackingTest(a, seed));
        }
        std::size_t best = 0;
        for (std::size_t i = 1; i < runs.size(); ++i) {
            if (runs[i].sd < runs[best].sd) best = i;
        }
        std::string table;
        for (std::size_t i = 0; i < runs.size(); ++i) {
            table += " KP " + std::to_string(grid[i]) + ": " + std::to_string(runs[i].sd) + runs[i].lastState;
        }
        SCOPED_TRACE(table);
        const double least = runs[best].sd;
        EXPECT_GE(grid[best], 3);
        EXPECT_LE(grid[best], 40);
        EXPECT_GE(runs.front().sd, 2.5 * least) << "a soft gain is clearly worse";
        EXPECT_TRUE(runs.back().sd >= 2.5 * least || runs.back().lastState == 'E') << "a hard gain rings or trips";
    }
}

TEST(TrackingTest, IntegralGainRemovesTheOffsetAndTooMuchOfItRings)
{
    struct Case {
        const char* name;
        int kp;
        int ki;
        double sdOverDefault;     // sigma at least this many times the default's (0: no bound)
        double meanLow, meanHigh; // arcsec
    };
    const Case cases[] = {
        {"no integral: the motor lags the sky", 7, 0, 0, -1.0, -0.15},
        {"default", 7, 20, 0, -0.1, 0.1},
        {"huge integral gain", 7, 2000, 4, -100, 100},
        {"no proportional gain", 0, 20, 4, -100, 100},
    };
    for (std::uint64_t seed : {1u, 2u, 3u}) {
        const double good = runTrackingTest(Activation{}, seed).sd;
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.name) + ", seed " + std::to_string(seed));
            Activation a;
            a.kp = c.kp;
            a.ki = c.ki;
            const auto st = runTrackingTest(a, seed);
            EXPECT_GE(st.sd, c.sdOverDefault * good);
            EXPECT_GE(st.mean, c.meanLow);
            EXPECT_LE(st.mean, c.meanHigh);
        }
    }
}

} // namespace
