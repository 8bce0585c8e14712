#include "sweep.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "analysis/samples_csv.h"

namespace tune {

std::vector<Gains> gainGrid(std::span<const std::int32_t> kp, std::span<const std::int32_t> ki)
{
    std::vector<Gains> out;
    for (std::int32_t p : kp)
        for (std::int32_t i : ki) out.push_back({p, i});
    return out;
}

TrackingRun::TrackingRun(char address, double sidSpeed)
    : address_(address), sidSpeed_(sidSpeed), move_(analysis::trackingMove(sidSpeed))
{}

std::vector<analysis::Command> TrackingRun::startCommands(int delay150, int delay100) const
{
    return analysis::trackingStartCommands(address_, move_, delay150, delay100);
}

TrackingRun::Step TrackingRun::onPoll(const controller::StrictReply& reply, double now)
{
    Step step;
    if (outcome_) {
        step.ended = true;
        return step;
    }
    if (!lastAccepted_) lastAccepted_ = now; // the silence is counted from the first poll
    using V = controller::ReplyVerdict;
    if (reply.verdict != V::Accepted) {
        if (reply.verdict != V::NoReply) ++rejected_;
        if (now - *lastAccepted_ > kNoReplySeconds) outcome_ = Outcome::NoReply;
        step.ended = outcome_.has_value();
        return step;
    }
    lastAccepted_ = now;
    if (reply.state == 'E') {
        outcome_ = Outcome::Halted;
        step.ended = true;
        return step;
    }

    analysis::Sample s;
    s.index = int(sid_.size());
    s.sidTime = reply.sidTime;
    s.position = reply.posit;
    s.sidSpeed = sidSpeed_;
    s.target = move_.target;
    s.origins = origins_;
    s.kind = anaTrack;
    s.address = address_;
    s.graphStepText = move_.graphStepText;
    const analysis::SampleResult r = analysis::sampleStep(s);
    sid_.push_back(s.sidTime);
    pos_.push_back(s.position);
    err_.push_back(r.error);
    origins_ = r.origins;
    step.send = r.move;
    if (r.ends) {
        outcome_ = Outcome::Done;
        step.ended = true;
    }
    return step;
}

analysis::FinishedRun TrackingRun::finished() const
{
    analysis::FinishedRun f;
    f.sid = sid_;
    f.pos = pos_;
    f.err = err_;
    f.origins = origins_;
    f.sidSpeed = sidSpeed_;
    // The time scale the graph uses; the poll interval only scales the speed curve.
    f.timeScale = analysis::graphScales(std::nullopt, std::nullopt, sidSpeed_, 1).time;
    f.errorColumn = true;
    f.statistics = true;
    return f;
}

analysis::TrackingStats TrackingRun::stats() const
{
    const analysis::FinishedRun f = finished();
    const std::vector<double> errors =
        analysis::statisticsErrors(f.sid, f.err, int(f.sid.size()) - 1, f.origins, f.timeScale);
    return analysis::trackingStats(errors);
}

namespace {

std::string_view noteOf(Outcome o)
{
    switch (o) {
    case Outcome::Done: return "ok";
    case Outcome::Halted: return "halted";
    case Outcome::NoReply: return "no-reply";
    }
    return "ok";
}

std::string fixed3(double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.3f", v);
    // snprintf follows LC_NUMERIC: the table is data, always with a point.
    for (char& c : buf)
        if (c == ',') c = '.';
    return buf;
}

} // namespace

std::vector<PairSummary> summarize(std::span<const RunResult> runs)
{
    std::vector<PairSummary> out;
    std::vector<int> failed; // worst failure per pair: 0 none, 1 no reply, 2 halted
    for (const RunResult& r : runs) {
        auto it = std::find_if(out.begin(), out.end(), [&](const PairSummary& p) { return p.gains == r.gains; });
        if (it == out.end()) {
            out.push_back({});
            out.back().gains = r.gains;
            failed.push_back(0);
            it = out.end() - 1;
        }
        const std::size_t k = std::size_t(it - out.begin());
        PairSummary& p = *it;
        p.rejected += r.rejected;
        if (r.outcome == Outcome::Done) {
            ++p.done;
            p.mean += r.stats.mean;
            p.peakToPeak += r.stats.peakToPeak();
            p.sigma += r.stats.sigma;
            p.samples += r.stats.n;
            if (r.unreliable() && p.note.empty()) p.note = "unreliable";
        } else {
            failed[k] = std::max(failed[k], r.outcome == Outcome::Halted ? 2 : 1);
        }
    }
    for (std::size_t k = 0; k < out.size(); ++k) {
        PairSummary& p = out[k];
        if (p.done > 0) {
            p.mean /= p.done;
            p.peakToPeak /= p.done;
            p.sigma /= p.done;
        }
        if (failed[k] == 2)
            p.note = "halted";
        else if (failed[k] == 1)
            p.note = "no-reply";
        else if (p.note.empty())
            p.note = "ok";
    }
    // A pair without statistics (no finished run, or no point in the
    // window) has no sigma to rank it by.
    auto ranked = [](const PairSummary& p) { return p.done > 0 && p.samples > 0 && std::isfinite(p.sigma); };
    std::stable_sort(out.begin(), out.end(), [&](const PairSummary& a, const PairSummary& b) {
        if (ranked(a) != ranked(b)) return ranked(a);
        return ranked(a) && a.sigma < b.sigma;
    });
    return out;
}

std::optional<Gains> bestGains(std::span<const PairSummary> table)
{
    if (table.empty() || table.front().done == 0 || table.front().samples == 0) return std::nullopt;
    return table.front().gains;
}

std::string formatTable(std::span<const PairSummary> table)
{
    char line[256];
    std::string out;
    std::snprintf(line, sizeof line, "%6s %6s %9s %9s %9s %7s %8s %s\n", "KP", "KI", "mean", "p-p", "sigma", "samples",
                  "rejected", "note");
    out += line;
    for (const PairSummary& p : table) {
        const bool figures = p.done > 0 && p.samples > 0;
        std::snprintf(line, sizeof line, "%6d %6d %9s %9s %9s %7d %8d %s\n", int(p.gains.kp), int(p.gains.ki),
                      figures ? fixed3(p.mean).c_str() : "-", figures ? fixed3(p.peakToPeak).c_str() : "-",
                      figures ? fixed3(p.sigma).c_str() : "-", p.samples, p.rejected, p.note.c_str());
        out += line;
    }
    return out;
}

std::string progressLine(int k, int total, const RunResult& r)
{
    std::string s = "run " + std::to_string(k) + " of " + std::to_string(total) + ": KP " + std::to_string(r.gains.kp) +
                    " KI " + std::to_string(r.gains.ki) + ": ";
    switch (r.outcome) {
    case Outcome::Done:
        s += r.stats.n > 0 ? "sigma " + fixed3(r.stats.sigma) + " arcsec" : "no point for the statistics";
        s += ", " + std::to_string(r.stats.n) + " points, " + std::to_string(r.rejected) + " rejected";
        if (r.unreliable()) s += " (unreliable)";
        break;
    case Outcome::Halted: s += "the controller halted (ERROR HALT); activating it again"; break;
    case Outcome::NoReply: s += "no reply from the controller; activating it again"; break;
    }
    return s;
}

std::string runsCsv(std::span<const RunResult> runs)
{
    std::string out = "kp,ki,run,outcome,mean_arcsec,peak_to_peak_arcsec,sigma_arcsec,samples,rejected\n";
    for (const RunResult& r : runs) {
        const bool figures = r.outcome == Outcome::Done && r.stats.n > 0;
        out += std::to_string(r.gains.kp) + ',' + std::to_string(r.gains.ki) + ',' + std::to_string(r.run) + ',';
        out += std::string(r.outcome == Outcome::Done && r.unreliable() ? "unreliable" : noteOf(r.outcome)) + ',';
        out += (figures ? analysis::csvNumber(r.stats.mean) : "") + ',';
        out += (figures ? analysis::csvNumber(r.stats.peakToPeak()) : "") + ',';
        out += (figures ? analysis::csvNumber(r.stats.sigma) : "") + ',';
        out += std::to_string(r.stats.n) + ',' + std::to_string(r.rejected) + '\n';
    }
    return out;
}

} // namespace tune
