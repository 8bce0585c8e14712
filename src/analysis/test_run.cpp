#include "analysis/test_run.h"

#include <cmath>

#include "protocol/wire.h"
#include "settings/numbers.h"

namespace analysis {

namespace {

// The decimal text of a value rounded half to even.
std::string roundedText(double v) { return settings::formatRounded(v, '.'); }

} // namespace

TrackingMove trackingMove(double siderealSpeed)
{
    TrackingMove m;
    const double s = 2.5 * siderealSpeed;
    m.graphSpeedText = roundedText(s);
    m.target = 3 * s;
    m.graphStepText = roundedText(m.target);
    m.accelText = roundedText(s * 40);
    return m;
}

std::vector<Command> trackingStartCommands(char a, const TrackingMove& m, int delay150, int delay100)
{
    namespace cmd = protocol::cmd;
    return {{cmd::finalApproach(a, "0"), delay150},
            {cmd::resetCounters(a), delay150},
            {cmd::acceleration(a, m.accelText), delay150},
            {cmd::moveSpeed(a, m.graphSpeedText), delay100}};
}

bool trackingTestAllowed(int refSyst, bool tracking, std::int32_t offsetTrackSpeed)
{
    return refSyst != 0 && tracking && offsetTrackSpeed == 0;
}

SampleResult sampleStep(const Sample& s)
{
    SampleResult r;
    r.origins = s.origins;
    r.error = (s.position - s.sidTime + s.target) * kPixelsPerArcsec * kArcsecPerSecond / s.sidSpeed;

    if (s.index == kOriginSample) {
        r.origins.initialSid = s.sidTime;
        r.origins.initialPos = s.position;
        r.origins.finalSid = s.sidTime + kRunSeconds * s.sidSpeed;
        const char a = s.address;
        r.move = Command{s.kind == anaGoto ? protocol::cmd::goTo(a, s.graphStepText)
                                           : protocol::cmd::moveBy(a, s.graphStepText),
                         kMovePauseMs};
    }

    // 105, not 100: the label reaches 100 where the curve reaches the right
    // end of the time axis.
    const double p = (s.sidTime - r.origins.initialSid) * 105 / (s.sidSpeed * kRunSeconds);
    if (std::isfinite(p)) r.percent = roundedText(p) + " %";

    const double limit = r.origins.finalSid - r.origins.initialSid;
    const bool past = !(s.sidTime <= limit);
    r.ends = (past && s.index > 6) || s.index >= kSampleCount - 1;
    return r;
}

} // namespace analysis
