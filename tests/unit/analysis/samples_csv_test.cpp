// A finished run's samples as CSV, read back by parsing what was written.

#include <charconv>
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/graph.h"
#include "analysis/samples_csv.h"
#include "csv_cells.h"

namespace {

using namespace analysis;

// A tracking run at S = 40 steps/s: samples 4 steps (0.1 s) apart, the count
// restarting from zero, the position lagging by a varying amount.
FinishedRun trackingRun(int last)
{
    FinishedRun run;
    const double S = 40;
    for (int i = 0; i <= last; ++i) {
        run.sid.push_back(4.0 * i);
        run.pos.push_back(4.0 * i - 300 + (i % 3) - 1);
        run.err.push_back((run.pos.back() - run.sid.back() + 300) * 40 * 15 / S);
    }
    run.origins = {run.sid[5], run.pos[5], run.sid[5] + 17 * S};
    run.sidSpeed = S;
    run.timeScale = graphScales(std::nullopt, std::nullopt, S, 150).time;
    run.errorColumn = true;
    run.statistics = true;
    return run;
}

TEST(SamplesCsv, OneRowPerDrawnSampleWithTheSamplesValues)
{
    // The run ends on the first count past 17 s × 40 = 680 (sample 171); the
    // curves stop at the first that reaches it (sample 170).
    const FinishedRun run = trackingRun(171);
    const auto parsed = csv_cells::rows(samplesCsv(run));
    ASSERT_TRUE(parsed) << "a line end other than \\n";
    const csv_cells::Rows& rows = *parsed;
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0],
              (std::vector<std::string>{"seconds", "sidereal_count", "position", "error_arcsec", "in_statistics"}));
    const std::vector<CurveSample> drawn = curveSamples(run.sid, run.err, 171, run.origins, run.timeScale);
    ASSERT_EQ(rows.size(), drawn.size() + 1);
    EXPECT_EQ(drawn.front().index, 5);
    EXPECT_EQ(drawn.back().index, 170);

    std::vector<double> statsErrors;
    for (std::size_t r = 1; r < rows.size(); ++r) {
        const std::size_t i = std::size_t(drawn[r - 1].index);
        ASSERT_EQ(rows[r].size(), 5u) << r;
        EXPECT_EQ(csv_cells::number(rows[r][0]), (run.sid[i] - 20) / 40) << r; // seconds since the origin
        EXPECT_EQ(csv_cells::number(rows[r][1]), run.sid[i]) << r;
        EXPECT_EQ(csv_cells::number(rows[r][2]), run.pos[i]) << r;
        EXPECT_EQ(csv_cells::number(rows[r][3]), run.err[i] / 40) << r; // arcseconds, exactly
        ASSERT_TRUE(rows[r][4] == "0" || rows[r][4] == "1") << r;
        if (rows[r][4] == "1") statsErrors.push_back(csv_cells::number(rows[r][3]));
    }
    // The flagged rows are the statistics of the picture.
    EXPECT_EQ(statsErrors, statisticsErrors(run.sid, run.err, 171, run.origins, run.timeScale));
    EXPECT_GT(statsErrors.size(), 80u);
    EXPECT_EQ(rows[1][0], "0");
}

TEST(SamplesCsv, ErrorAndStatisticsColumnsOnlyWhereTheRunHasThem)
{
    FinishedRun step = trackingRun(176);
    step.errorColumn = false; // a step test, or the fixed system
    step.statistics = false;
    FinishedRun offset = trackingRun(176);
    offset.statistics = false; // tracking with an offset speed: no statistics drawn
    FinishedRun noSpeed = trackingRun(20);
    noSpeed.sidSpeed = 0; // errors and seconds undefined
    for (double& e : noSpeed.err) e = INFINITY;
    noSpeed.timeScale = 0;

    for (const FinishedRun* run : {&step, &offset, &noSpeed}) {
        const auto parsed = csv_cells::rows(samplesCsv(*run));
        ASSERT_TRUE(parsed) << "a line end other than \\n";
        const csv_cells::Rows& rows = *parsed;
        ASSERT_GT(rows.size(), 2u);
        for (std::size_t r = 1; r < rows.size(); ++r) {
            ASSERT_EQ(rows[r].size(), 5u);
            EXPECT_EQ(rows[r][4], "0");
            if (run == &step || run == &noSpeed) {
                EXPECT_EQ(rows[r][3], "");
            }
            if (run == &noSpeed) {
                EXPECT_EQ(rows[r][0], "");
            }
            EXPECT_FALSE(rows[r][1].empty());
        }
    }
}

TEST(SamplesCsv, NumbersAreShortestExactAndLocaleFree)
{
    struct Row {
        double v;
        const char* text;
    };
    const Row rows[] = {{0, "0"},      {-0.0, "0"},        {1200, "1200"},  {-2147483648.0, "-2147483648"},
                        {0.1, "0.1"},  {-0.375, "-0.375"}, {1e-7, "1e-07"}, {NAN, ""},
                        {INFINITY, ""}};
    for (const Row& r : rows) EXPECT_EQ(csvNumber(r.v), r.text) << r.v;
}

TEST(SamplesCsv, AShortRunHasOnlyTheHeader)
{
    // Fewer samples than the origin needs: nothing was drawn.
    EXPECT_EQ(samplesCsv(trackingRun(4)), std::string(kSamplesCsvHeader) + "\n");
    EXPECT_EQ(samplesCsv(trackingRun(5)), std::string(kSamplesCsvHeader) + "\n");
}

} // namespace
