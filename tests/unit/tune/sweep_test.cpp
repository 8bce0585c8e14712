// The sweep's decisions: a tracking test fed poll by poll, the results of the
// runs and the table they make.

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sweep.h"

namespace {

using namespace tune;
using controller::readReplyStrictly;

std::string reply(char state, double sid, double pos)
{
    return std::string("A0") + state + "01" + std::to_string(std::llround(sid)) + "A" +
           std::to_string(std::llround(pos)) + "B512C#";
}

// Feeds a tracking test at S = 40 steps/s, one accepted reply per 0.1 s (4
// sidereal steps), the motor one step ahead or behind the sky by turns once
// the move has gone out. `extra` is called before every good reply and may
// feed replies of its own. Returns the number of polls.
template <class Extra>
int feed(TrackingRun& run, double& now, Extra&& extra)
{
    int polls = 0;
    for (int i = 0; !run.outcome() && i < 1000; ++i) {
        extra(i);
        if (run.outcome()) break;
        const double sid = 4.0 * i;
        const double pos = i <= 5 ? sid : sid - 300 + ((i % 2) ? 1 : -1);
        const auto step = run.onPoll(readReplyStrictly(reply('T', sid, pos), 'A'), now);
        ++polls;
        now += 0.1;
        EXPECT_EQ(step.send.has_value(), i == 5) << i;
        if (step.send) {
            EXPECT_EQ(step.send->body, "A&D300");
            EXPECT_EQ(step.send->pauseMs, 200);
        }
    }
    return polls;
}

TEST(TrackingRun, RunsTheWindowsTestToItsStatistics)
{
    TrackingRun run('A', 40);
    EXPECT_EQ(run.move().graphStepText, "300");
    const auto start = run.startCommands(150, 100);
    ASSERT_EQ(start.size(), 4u);
    EXPECT_EQ(start[2].body, "A&a4000");

    double now = 0;
    feed(run, now, [](int) {});
    ASSERT_EQ(run.outcome(), Outcome::Done);
    // The counts restarted at zero: the first past 17 s × 40 = 680 is 684.
    EXPECT_EQ(run.samples(), 172);
    EXPECT_EQ(run.rejected(), 0);
    // Drawn from t = 173 to 469 px: counts 240 to 616, 95 samples of ±15/40 arcsec.
    const analysis::TrackingStats s = run.stats();
    EXPECT_EQ(s.n, 95);
    EXPECT_DOUBLE_EQ(s.peakToPeak(), 0.75);
    EXPECT_NEAR(s.sigma, 0.375, 1e-4);
    EXPECT_NEAR(s.mean, 0, 0.375 / 95 + 1e-12);

    const analysis::FinishedRun f = run.finished();
    EXPECT_EQ(f.sid.size(), 172u);
    EXPECT_EQ(f.origins.initialSid, 20);
    EXPECT_TRUE(f.errorColumn && f.statistics);
}

TEST(TrackingRun, RejectedRepliesAreCountedAndNeverSampled)
{
    TrackingRun clean('A', 40), noisy('A', 40);
    double t1 = 0, t2 = 0;
    feed(clean, t1, [](int) {});
    const char* bad[] = {"B0T01100A100B512C#", "A0Q01100A100B512C#", "A0T011x0A100B512C#", "A0T01100A100#"};
    feed(noisy, t2, [&](int i) {
        if (i % 40 == 3) {
            noisy.onPoll(readReplyStrictly(bad[(i / 40) % 4], 'A'), t2);
            noisy.onPoll(readReplyStrictly("RXFX", 'A'), t2); // no reply: not a rejected one
        }
    });
    EXPECT_EQ(noisy.rejected(), 5); // polls 3, 43, 83, 123, 163
    EXPECT_EQ(noisy.samples(), clean.samples());
    EXPECT_EQ(noisy.stats().sigma, clean.stats().sigma);
    RunResult r;
    r.rejected = noisy.rejected();
    EXPECT_TRUE(r.unreliable());
    r.rejected = kUnreliableRejected;
    EXPECT_FALSE(r.unreliable());
}

TEST(TrackingRun, AHaltOrSilenceEndsTheRun)
{
    {
        TrackingRun run('A', 40);
        double now = 0;
        feed(run, now, [&](int i) {
            if (i == 30) {
                const auto s = run.onPoll(readReplyStrictly(reply('E', 120, 100), 'A'), now);
                EXPECT_TRUE(s.ended);
                EXPECT_FALSE(s.send);
            }
        });
        EXPECT_EQ(run.outcome(), Outcome::Halted);
        EXPECT_EQ(run.samples(), 30);
        EXPECT_TRUE(run.onPoll(readReplyStrictly(reply('T', 0, 0), 'A'), now).ended); // and stays ended
    }
    {
        // Replies stop after 20 polls: given up once 5 s have passed without one.
        TrackingRun run('A', 40);
        double now = 0;
        for (int i = 0; i < 20; ++i, now += 0.1) run.onPoll(readReplyStrictly(reply('T', 4.0 * i, 4.0 * i), 'A'), now);
        const double lastGood = now - 0.1;
        while (!run.outcome() && now < 100) {
            run.onPoll(readReplyStrictly(now < 5 ? "B0T01100A100B512C#" : "RXFX", 'A'), now);
            now += 0.1;
        }
        EXPECT_EQ(run.outcome(), Outcome::NoReply);
        EXPECT_NEAR(now - 0.1 - lastGood, kNoReplySeconds, 0.15);
        EXPECT_GT(run.rejected(), 0); // another controller's replies were no help
    }
    {
        // Silence from the very first poll counts too.
        TrackingRun run('A', 40);
        double now = 1000;
        while (!run.outcome() && now < 1100) {
            run.onPoll(readReplyStrictly("RXFX", 'A'), now);
            now += 0.25;
        }
        EXPECT_EQ(run.outcome(), Outcome::NoReply);
        EXPECT_NEAR(now, 1005.25, 0.3);
    }
}

RunResult done(Gains g, int k, double mean, double p2p, double sigma, int n, int rejected = 0)
{
    RunResult r;
    r.gains = g;
    r.run = k;
    r.stats.n = n;
    r.stats.mean = mean;
    r.stats.minimum = mean - p2p / 2;
    r.stats.maximum = mean + p2p / 2;
    r.stats.sigma = sigma;
    r.rejected = rejected;
    return r;
}

RunResult failed(Gains g, int k, Outcome o)
{
    RunResult r;
    r.gains = g;
    r.run = k;
    r.outcome = o;
    return r;
}

TEST(SweepTable, PairsSortedBySigmaWithTheirNotes)
{
    const std::vector<RunResult> runs = {
        done({0, 20}, 1, 0.5, 60, 20, 80),        done({0, 20}, 2, -0.1, 50, 22, 80),
        done({7, 20}, 1, 0.2, 1.0, 0.3, 87),      done({7, 20}, 2, 0.0, 1.2, 0.4, 87, 4),
        failed({60, 20}, 1, Outcome::Halted),     done({60, 20}, 2, 0.1, 5, 2, 80),
        failed({9, 20}, 1, Outcome::NoReply),     failed({9, 20}, 2, Outcome::NoReply),
        done({3, 20}, 1, 0.1, 2, 0.5, 0), // no point in the statistics window
        done({15, 20}, 1, 0.1, 0.9, 0.21, 88, 3),
    };
    const std::vector<PairSummary> t = summarize(runs);
    std::vector<std::string> order;
    for (const PairSummary& p : t) order.push_back(std::to_string(p.gains.kp) + " " + p.note);
    EXPECT_EQ(order, (std::vector<std::string>{"15 ok", "7 unreliable", "60 halted", "0 ok", "9 no-reply", "3 ok"}));

    const PairSummary& seven = t[1];
    EXPECT_EQ(seven.done, 2);
    EXPECT_DOUBLE_EQ(seven.sigma, 0.35);
    EXPECT_DOUBLE_EQ(seven.mean, 0.1);
    EXPECT_DOUBLE_EQ(seven.peakToPeak, 1.1);
    EXPECT_EQ(seven.samples, 174);
    EXPECT_EQ(seven.rejected, 4);
    EXPECT_EQ(t[2].done, 1); // the halted pair's figures are those of its finished run
    EXPECT_DOUBLE_EQ(t[2].sigma, 2);

    EXPECT_EQ(bestGains(t), (Gains{15, 20}));
    EXPECT_FALSE(bestGains(summarize(std::vector<RunResult>{failed({1, 1}, 1, Outcome::Halted)})));
    EXPECT_FALSE(bestGains({}));
}

TEST(SweepTable, PrintedForSortAndAwk)
{
    const std::vector<RunResult> runs = {done({0, 20}, 1, -0.142, 66.375, 21.721, 87),
                                         done({7, 20}, 1, 0.2112, 1.125, 0.2993, 87),
                                         failed({9, 20}, 1, Outcome::Halted)};
    const std::string text = formatTable(summarize(runs));
    std::istringstream in(text);
    std::string line;
    std::vector<std::vector<std::string>> rows;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::vector<std::string> w;
        for (std::string x; words >> x;) w.push_back(x);
        rows.push_back(w);
    }
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"KP", "KI", "mean", "p-p", "sigma", "samples", "rejected", "note"}));
    EXPECT_EQ(rows[1], (std::vector<std::string>{"7", "20", "0.211", "1.125", "0.299", "87", "0", "ok"}));
    EXPECT_EQ(rows[2], (std::vector<std::string>{"0", "20", "-0.142", "66.375", "21.721", "87", "0", "ok"}));
    EXPECT_EQ(rows[3], (std::vector<std::string>{"9", "20", "-", "-", "-", "0", "0", "halted"}));
}

TEST(SweepTable, EveryRunInTheCsvAndAProgressLine)
{
    const std::vector<RunResult> runs = {done({7, 20}, 1, 0.25, 1.125, 0.5, 87, 5),
                                         failed({0, 20}, 2, Outcome::Halted)};
    EXPECT_EQ(runsCsv(runs), "kp,ki,run,outcome,mean_arcsec,peak_to_peak_arcsec,sigma_arcsec,samples,rejected\n"
                             "7,20,1,unreliable,0.25,1.125,0.5,87,5\n"
                             "0,20,2,halted,,,,0,0\n");
    EXPECT_EQ(progressLine(3, 8, runs[0]),
              "run 3 of 8: KP 7 KI 20: sigma 0.500 arcsec, 87 points, 5 rejected (unreliable)");
    EXPECT_EQ(progressLine(4, 8, runs[1]),
              "run 4 of 8: KP 0 KI 20: the controller halted (ERROR HALT); activating it again");
    EXPECT_EQ(gainGrid(std::vector<std::int32_t>{5, 7}, std::vector<std::int32_t>{10, 20}),
              (std::vector<Gains>{{5, 10}, {5, 20}, {7, 10}, {7, 20}}));
}

} // namespace
