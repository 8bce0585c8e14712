#include "analysis/graph.h"

#include <algorithm>
#include <cmath>

#include "settings/numbers.h"

namespace analysis {

namespace {

using settings::roundHalfEven;

// Coordinates are kept within this box: far enough outside the picture that
// a cut line keeps its slope to a hundredth of a pixel inside it, near enough
// for any integer drawing routine.
constexpr double kLimit = 16000;

bool inBox(double v) { return v >= -kLimit && v <= kLimit; }

// Cuts the segment to the box (Liang-Barsky); false when nothing is left.
bool clip(double& x1, double& y1, double& x2, double& y2)
{
    if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2)) return false;
    const double dx = x2 - x1, dy = y2 - y1;
    double t0 = 0, t1 = 1;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x1 + kLimit, kLimit - x1, y1 + kLimit, kLimit - y1};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
    }
    if (t0 > t1) return false;
    const double ax = x1 + t0 * dx, ay = y1 + t0 * dy, bx = x1 + t1 * dx, by = y1 + t1 * dy;
    x1 = roundHalfEven(ax);
    y1 = roundHalfEven(ay);
    x2 = roundHalfEven(bx);
    y2 = roundHalfEven(by);
    return true;
}

class Painter {
public:
    explicit Painter(std::vector<DrawOp>& ops) : ops_(ops) {}

    void rectangle(int x1, int y1, int x2, int y2, TColor outline, TColor fill)
    {
        ops_.push_back({DrawOp::Kind::Rectangle, x1, y1, x2, y2, outline, fill, {}, 0});
    }
    void line(double x1, double y1, double x2, double y2, TColor colour)
    {
        if (!clip(x1, y1, x2, y2)) return;
        ops_.push_back({DrawOp::Kind::Line, int(x1), int(y1), int(x2), int(y2), colour, clNone, {}, 0});
    }
    void text(double x, double y, TColor colour, std::string s)
    {
        if (!inBox(x) || !inBox(y)) return;
        ops_.push_back({DrawOp::Kind::Text, int(x), int(y), 0, 0, colour, clNone, std::move(s), 0});
    }
    void fontSize(int points) { ops_.push_back({DrawOp::Kind::FontSize, 0, 0, 0, 0, clBlack, clNone, {}, points}); }

private:
    std::vector<DrawOp>& ops_;
};

std::optional<double> finite(double v)
{
    if (std::isfinite(v)) return v;
    return std::nullopt;
}

std::string fixed3(double v, char sep) { return settings::formatFixed(v, 3, sep); }

} // namespace

Scales graphScales(std::optional<double> graphStep, std::optional<double> graphSpeed, std::optional<double> sidSpeed,
                   int interval1)
{
    Scales s;
    if (graphStep && *graphStep != 0) s.position = finite(std::fabs(180 / *graphStep));
    if (graphSpeed && *graphSpeed != 0 && interval1 != 0)
        s.speed = finite(std::fabs(180 / *graphSpeed) * 400 / interval1);
    if (sidSpeed && *sidSpeed > 0) s.time = finite(30 / *sidSpeed * 1.05).value_or(0);
    return s;
}

TrackingStats trackingStats(std::span<const double> errors)
{
    TrackingStats s;
    double sum = 0;
    for (double d : errors) {
        if (!(s.maximum >= d)) s.maximum = d;
        if (!(s.minimum <= d)) s.minimum = d;
        sum += d;
    }
    s.n = static_cast<int>(errors.size());
    if (s.n == 0) return s;
    s.mean = sum / s.n;
    double squares = 0;
    for (double d : errors) squares += (d - s.mean) * (d - s.mean);
    s.sigma = std::sqrt(squares / s.n);
    return s;
}

std::vector<std::string> statisticsLines(const TrackingStats& s, char sep)
{
    std::vector<std::string> lines{"ERRORS CAUSED BY MOTOR CONTROL ONLY:"};
    if (s.n > 0) {
        lines.push_back("Mean offset position while tracking    =  " + fixed3(s.mean, sep) + " arcsec");
        lines.push_back("Tracking peak to peak deviation =  " + fixed3(s.peakToPeak(), sep) + " arcsec");
        lines.push_back("Tracking standard deviation  =    " + fixed3(s.sigma, sep) + " arcsec (each side of mean)");
        lines.push_back("68.2% of light inside a spot of  " + fixed3(s.sigma, sep) + " arcsec radius");
        lines.push_back("95.4% of light inside a spot of  " + fixed3(2 * s.sigma, sep) + " arcsec radius");
    }
    lines.push_back("Number of points for stats = " + std::to_string(s.n));
    return lines;
}

std::vector<CurveSample> curveSamples(std::span<const double> sid, std::span<const double> err, int last,
                                      const RunOrigins& origins, double timeScale)
{
    std::vector<CurveSample> out;
    last = std::min<int>({last, int(sid.size()) - 1, int(err.size()) - 1});
    const double limit = origins.finalSid - origins.initialSid;
    // Each step draws the segment from sample k to k + 1; the walk stops at the
    // run's last sample or past the limit (an undefined comparison goes on).
    for (int k = kOriginSample; k < last && !(sid[k] >= limit); ++k) {
        if (out.empty()) out.push_back({k, false});
        const int j = k + 1;
        const double tj = roundHalfEven((sid[j] - origins.initialSid) * timeScale);
        // An error the sampler could not compute (no sidereal speed) has no
        // place in the statistics.
        out.push_back({j, 170 < tj && tj < 470 && std::isfinite(err[j])});
    }
    return out;
}

std::vector<double> statisticsErrors(std::span<const double> sid, std::span<const double> err, int last,
                                     const RunOrigins& origins, double timeScale)
{
    std::vector<double> out;
    for (const CurveSample& c : curveSamples(sid, err, last, origins, timeScale))
        if (c.inStats) out.push_back(err[std::size_t(c.index)] / kPixelsPerArcsec);
    return out;
}

Graph planGraph(const GraphInput& in)
{
    Graph g;
    Painter k(g.ops);
    const Scales sc = graphScales(in.graphStep, in.graphSpeed, in.sidSpeed, in.interval1);
    const bool stepOrGoto = in.kind == anaStep || in.kind == anaGoto;
    const bool trackTest = in.kind == anaTrack;

    // Background and axes.
    k.rectangle(0, 0, kPictureWidth, kPictureHeight, clBlack, clWhite);
    k.line(0, 240, 530, 240, clBlack);
    k.line(20, 0, 20, 480, clBlack);

    // Seconds along the time axis (30 pixels apart, while a sidereal second
    // is drawn 31.5 pixels wide: the curve fills the axis at 100 %).
    k.fontSize(8);
    for (int i = 1; i <= 16; ++i) {
        k.line(30 * i + 20, 240, 30 * i + 20, 255, clBlack);
        k.text(30 * i + 16, 257, clGray, std::to_string(i));
    }
    k.text(515, 257, clGray, "seconds");
    k.text(534, 232, clGray, "START");

    k.fontSize(10);
    k.text(320, 460, clRed, "POSITION curve");
    k.text(480, 460, clGreen, "SPEED curve");
    k.fontSize(8);

    // What was run.
    if (stepOrGoto) {
        k.text(410, 80, clGray, "Do " + in.graphStepText + " steps at " + in.graphSpeedText + " steps/s");
        k.text(410, 95, clGray, "Acceleration = " + in.accelText + " steps/s\xC2\xB2");
    }
    if (in.kind == anaGoto) k.text(410, 110, clGray, "Final Approach = " + in.finalText + " steps");
    if (in.tracking) {
        k.text(410, 125, clGray, "Sidereal speed = " + in.sidSpeedText + " steps/s");
        k.text(410, 140, clGray, "Offset tracking at " + in.trackSpeedText + " steps/s");
    }
    if (in.motorType == 0) k.text(410, 155, clGray, "KP = " + in.kpText + ";    KI = " + in.kiText);

    // The frame of the reference system.
    const bool dc = in.motorType == 0;
    if (in.refSyst == 0) {
        k.line(21, 420, 530, 420, clGray);
        k.line(21, 60, 530, 60, clGray);
        k.text(534, 52, clGray, "TARGET");
        k.text(534, 412, clGray, "TARGET");
        k.text(25, 6, clGray, "positive direction");
        k.text(25, 460, clGray, "negative direction");
        k.fontSize(10);
        k.text(140, 440, clBlack,
               dc ? "REF. SYSTEM: FIXED;      DC SERVO MOTOR" : "REF. SYSTEM: FIXED;       STEPPER MOTOR");
        k.fontSize(8);
    } else {
        // The target moves with the sky: it rises by L over the plot's width.
        std::optional<double> rise;
        if (sc.position && in.sidSpeed) rise = finite(roundHalfEven(*sc.position * *in.sidSpeed * 17 / 1.05));
        if (rise) {
            const double L = *rise;
            k.line(21, 420, 530, 420 - L, clGray);
            k.line(21, 60, 530, 60 - L, clGray);
            k.text(534, 52 - L, clGray, "TARGET");
            k.text(534, 412 - L, clGray, "TARGET");
        }
        k.text(25, 6, clGray, "WEST direction");
        k.text(25, 460, clGray, "EAST direction");
        k.fontSize(10);
        k.text(140, 440, clBlack,
               dc ? "REF. SYSTEM: SIDEREAL;    DC SERVO MOTOR" : "REF. SYSTEM: SIDEREAL;     STEPPER MOTOR");
        k.fontSize(8);
        if (trackTest) {
            k.line(21, 200, 530, 200, clAqua);
            k.line(21, 280, 530, 280, clAqua);
            k.fontSize(10);
            k.text(160, 460, clBlue, "TRACK ERR. curve");
            k.fontSize(8);
            k.text(5, 194, clBlue, "1\"");
            k.text(5, 274, clBlue, "1\"");
        }
    }

    // The curves, from the origin (sample 5) to the run's last sample.
    const int last = std::min<int>({in.last, int(in.sid.size()) - 1, int(in.pos.size()) - 1, int(in.err.size()) - 1});
    auto t = [&](int j) { return roundHalfEven((in.sid[j] - in.origins.initialSid) * sc.time); };
    auto p = [&](int j) { return roundHalfEven((in.pos[j] - in.origins.initialPos) * *sc.position); };
    auto e = [&](int j) { return roundHalfEven(in.err[j]); };
    auto v = [&](int j) { return roundHalfEven((in.pos[j] - in.pos[j - 1]) * *sc.speed); };
    const bool errorCurve = in.refSyst == 1 && trackTest;
    const std::vector<CurveSample> drawn = curveSamples(in.sid, in.err, last, in.origins, sc.time);
    for (std::size_t i = 1; i < drawn.size(); ++i) {
        const int j = drawn[i].index;
        if (sc.speed) k.line(t(j - 1) + 20, 240 - v(j - 1), t(j) + 20, 240 - v(j), clGreen);
        if (sc.position) k.line(t(j - 1) + 20, 240 - p(j - 1), t(j) + 20, 240 - p(j), clRed);
        if (errorCurve) k.line(t(j - 1) + 20, 240 - e(j - 1), t(j) + 20, 240 - e(j), clBlue);
        if (drawn[i].inStats) g.trackErr.push_back(in.err[j] / kPixelsPerArcsec);
    }

    if (in.refSyst == 1 && trackTest && in.offsetTrackSpeed == 0) {
        g.stats = trackingStats(g.trackErr);
        int y = 10;
        for (std::string& line : statisticsLines(*g.stats, in.decimalSep)) {
            // Without samples the count stays on its own row.
            if (line.starts_with("Number of points")) y = 100;
            k.text(140, y, clBlue, std::move(line));
            y += 15;
        }
    }
    return g;
}

} // namespace analysis
