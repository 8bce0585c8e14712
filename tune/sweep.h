#pragma once
// The sweep's decisions, pure: one tracking test fed poll by poll with the
// replies read, the results of the runs, and the table they make. The program
// (zarpo-tune.cpp) only does the serial exchanges and the waiting.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "analysis/graph.h"
#include "analysis/samples_csv.h"
#include "analysis/test_run.h"
#include "controller/poll.h"

namespace tune {

struct Gains {
    std::int32_t kp = 0, ki = 0;
    bool operator==(const Gains&) const = default;
};

// KP outer, KI inner, each in the order given.
std::vector<Gains> gainGrid(std::span<const std::int32_t> kp, std::span<const std::int32_t> ki);

// A run with more rejected replies than this is unreliable.
inline constexpr int kUnreliableRejected = 3;
// A run that accepts no reply for this long is given up.
inline constexpr double kNoReplySeconds = 5;

enum class Outcome : std::uint8_t { Done, Halted, NoReply };

// One tracking test as the window runs it: the same start commands, the same
// sampler step per accepted reply, the same end condition and statistics.
class TrackingRun {
public:
    // `sidSpeed` in steps per second, as activation sends it.
    TrackingRun(char address, double sidSpeed);

    const analysis::TrackingMove& move() const { return move_; }
    std::vector<analysis::Command> startCommands(int delay150, int delay100) const;

    struct Step {
        std::optional<analysis::Command> send; // the move, at sample 5
        bool ended = false;
    };
    // The reply read at one poll tick, `now` in seconds on any steady clock.
    Step onPoll(const controller::StrictReply& reply, double now);

    std::optional<Outcome> outcome() const { return outcome_; }
    int rejected() const { return rejected_; }
    int samples() const { return int(sid_.size()); }
    // After a finished run: the statistics the window draws on the picture.
    analysis::TrackingStats stats() const;
    analysis::FinishedRun finished() const;

private:
    char address_;
    double sidSpeed_;
    analysis::TrackingMove move_;
    std::vector<double> sid_, pos_, err_;
    analysis::RunOrigins origins_;
    int rejected_ = 0;
    std::optional<double> lastAccepted_;
    std::optional<Outcome> outcome_;
};

struct RunResult {
    Gains gains;
    int run = 1; // 1-based, within the pair
    Outcome outcome = Outcome::Done;
    analysis::TrackingStats stats; // when done
    int rejected = 0;
    bool unreliable() const { return rejected > kUnreliableRejected; }
};

// One line of the table: a gain pair over its runs.
struct PairSummary {
    Gains gains;
    int done = 0;                               // runs that finished
    double mean = 0, peakToPeak = 0, sigma = 0; // means over the finished runs
    int samples = 0, rejected = 0;              // totals
    std::string note;                           // "ok", "unreliable", "halted", "no-reply"
};

// The pairs in the order of their first run, then sorted by sigma, best
// first; pairs without a finished run last.
std::vector<PairSummary> summarize(std::span<const RunResult> runs);

// The best pair (first of the summary) that finished a run.
std::optional<Gains> bestGains(std::span<const PairSummary> table);

// Header line, then one whitespace-separated line per pair; numbers with a
// decimal point, "-" where a pair has no finished run.
std::string formatTable(std::span<const PairSummary> table);

// "run 3 of 8: KP 7 KI 20: sigma 0.284 arcsec, 88 points, 0 rejected"
std::string progressLine(int k, int total, const RunResult& r);

// One CSV line per run, after a header.
std::string runsCsv(std::span<const RunResult> runs);

} // namespace tune
