#include "analysis/samples_csv.h"

#include <charconv>
#include <cmath>

#include "analysis/graph.h"
#include "settings/atomic_file.h"

namespace analysis {

std::string csvNumber(double v)
{
    if (!std::isfinite(v)) return {};
    if (v == 0) v = 0; // no "-0"
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

std::string samplesCsv(const FinishedRun& run)
{
    std::string out(kSamplesCsvHeader);
    out += '\n';
    const int last = int(run.sid.size()) - 1;
    for (const CurveSample& c : curveSamples(run.sid, run.err, last, run.origins, run.timeScale)) {
        const auto i = std::size_t(c.index);
        out += csvNumber((run.sid[i] - run.origins.initialSid) / run.sidSpeed);
        out += ',';
        out += csvNumber(run.sid[i]);
        out += ',';
        out += i < run.pos.size() ? csvNumber(run.pos[i]) : std::string();
        out += ',';
        if (run.errorColumn) out += csvNumber(run.err[i] / kPixelsPerArcsec);
        out += ',';
        out += c.inStats && run.statistics ? '1' : '0';
        out += '\n';
    }
    return out;
}

void writeSamplesCsv(const std::string& path, const FinishedRun& run)
{
    settings::writeFileAtomically(path, samplesCsv(run));
}

} // namespace analysis
