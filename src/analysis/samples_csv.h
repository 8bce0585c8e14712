#pragma once
// A finished test run kept apart from the sample buffers (which the next run
// overwrites), and its samples as CSV for a spreadsheet. Pure.

#include <string>
#include <vector>

#include "analysis/test_run.h"

namespace analysis {

struct FinishedRun {
    std::vector<double> sid, pos, err; // samples 0 to the last
    RunOrigins origins;
    double sidSpeed = 0;      // steps per second the errors were computed with
    double timeScale = 0;     // X of the graph that drew the run
    bool errorColumn = false; // a tracking test in the sidereal system
    bool statistics = false;  // the graph computed tracking statistics
};

inline constexpr std::string_view kSamplesCsvHeader = "seconds,sidereal_count,position,error_arcsec,in_statistics";

// The header, then one row per sample the curves drew (the origin to the
// last): seconds since the origin, sidereal count, position, the error in
// arcseconds (empty without an error column or an error), whether it
// entered the statistics (1 or 0). Numbers in
// the shortest text that reads back to the same value, with a decimal point
// whatever the locale; "\n" line ends.
std::string samplesCsv(const FinishedRun& run);

// Writes the CSV whole or not at all; throws settings::FileWriteError naming
// the file and the reason.
void writeSamplesCsv(const std::string& path, const FinishedRun& run);

// The shortest decimal text of `v` that reads back exactly, locale-free
// ("0.25", "1200", "-3e-07"); empty for a value that is not finite.
std::string csvNumber(double v);

} // namespace analysis
