#pragma once
// The analysis picture as a list of drawing operations, and the tracking
// statistics. Pure: the window only turns the operations into pixels.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "analysis/test_run.h"

namespace analysis {

// A colour laid out 0x00BBGGRR; -1 as a background or fill means none.
using TColor = std::int32_t;
inline constexpr TColor clNone = -1;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clAqua = 0xFFFF00;

inline constexpr int kPictureWidth = 600;
inline constexpr int kPictureHeight = 480;

struct DrawOp {
    enum class Kind { Rectangle, Line, Text, FontSize };
    Kind kind = Kind::Line;
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0; // a text uses x1, y1 (top-left of its box)
    TColor colour = clBlack;            // outline, line or text colour
    TColor fill = clNone;               // rectangle fill
    std::string text;                   // UTF-8
    int points = 0;                     // FontSize
    bool operator==(const DrawOp&) const = default;
};

// Pixels per unit of each axis. A scale that cannot be computed (a zero or
// unreadable graph step or speed) is none, and what needs it is not drawn.
struct Scales {
    std::optional<double> position; // P = |180 / G|: pixels per step
    std::optional<double> speed;    // V = |180 / F| × 400 / interval1
    double time = 0;                // X = 30 / S × 1.05 for S > 0, else 0
};
Scales graphScales(std::optional<double> graphStep, std::optional<double> graphSpeed, std::optional<double> sidSpeed,
                   int interval1);

struct TrackingStats {
    int n = 0;
    double mean = 0;
    double maximum = -10; // the sentinels stay when no value passes them
    double minimum = 10;
    double sigma = 0; // population standard deviation
    double peakToPeak() const { return maximum - minimum; }
};
// Statistics of the errors in arcseconds. With no value only n is meaningful.
TrackingStats trackingStats(std::span<const double> errors);

// The lines of the statistics block, numbers in fixed(3) with `decimalSep`.
// Without samples only the heading and the count: no figure can be given.
std::vector<std::string> statisticsLines(const TrackingStats& s, char decimalSep);

// The samples the curves draw, from the origin (sample 5) to the run's last,
// and for each whether its error enters the tracking statistics: drawn
// between x = 191 and x = 489 (170 < t < 470 pixels after the origin) with a
// finite error. `timeScale` is X of graphScales. Empty when the run has no
// segment to draw.
struct CurveSample {
    int index = 0;
    bool inStats = false;
};
std::vector<CurveSample> curveSamples(std::span<const double> sid, std::span<const double> err, int last,
                                      const RunOrigins& origins, double timeScale);

// The errors in arcseconds of the samples that enter the statistics, in order.
std::vector<double> statisticsErrors(std::span<const double> sid, std::span<const double> err, int last,
                                     const RunOrigins& origins, double timeScale);

struct GraphInput {
    // G, F and S read from their edits; none when the text does not convert.
    std::optional<double> graphStep, graphSpeed, sidSpeed;
    int interval1 = 0;
    // The run's samples; `last` is the index of its last sample.
    std::span<const double> sid, pos, err;
    int last = 0;
    RunOrigins origins;
    TANALYZETEST kind = anaTrack;
    int refSyst = 0;
    int motorType = 0;
    bool tracking = false;
    std::int32_t offsetTrackSpeed = 0; // thousandths, as stored
    // Edit texts shown as typed in the captions (UTF-8).
    std::string graphStepText, graphSpeedText, accelText, finalText, sidSpeedText, trackSpeedText, kpText, kiText;
    char decimalSep = '.';
};

struct Graph {
    std::vector<DrawOp> ops;            // in drawing order, on a 600 × 480 picture
    std::vector<double> trackErr;       // errors in arcseconds of the statistics window
    std::optional<TrackingStats> stats; // when the statistics are drawn
};

// Everything the renderer draws for one run. Values that cannot be drawn
// (undefined or infinite) are left out; nothing shows "nan" or "inf".
Graph planGraph(const GraphInput& in);

} // namespace analysis
