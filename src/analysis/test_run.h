#pragma once
// Test runs: the tracking test's own move and one step of the sampler.
// Pure: samples and settings in; commands, texts and the end decision out,
// so the window and a command-line tuner run the same test.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Kind of a test curve, stored in one byte.
enum TANALYZETEST : std::uint8_t { anaTrack, anaStep, anaGoto };

namespace analysis {

inline constexpr int kSampleCount = 600;       // samples a run can hold
inline constexpr int kOriginSample = 5;        // the sample that fixes the origins
inline constexpr double kRunSeconds = 17;      // sidereal seconds recorded after the origin
inline constexpr int kMovePauseMs = 200;       // pause after the move command
inline constexpr double kPixelsPerArcsec = 40; // scale of the error curve
inline constexpr double kArcsecPerSecond = 15; // sidereal motion

struct Command {
    std::string body; // address character, "&", letters, argument
    int pauseMs = 0;
};

// The tracking test moves 7.5 seconds' worth of sidereal steps at 2.5 times
// the sidereal speed S, with an acceleration of 100 × S.
struct TrackingMove {
    std::string graphSpeedText; // round(2.5 S), written into the speed edit
    std::string graphStepText;  // round(7.5 S), written into the step edit
    double target = 0;          // 7.5 S, unrounded
    std::string accelText;      // round(100 S), sent with "&a"
};
TrackingMove trackingMove(double siderealSpeed);

// The commands that start the tracking test, in order, with their pauses:
// final approach 0, the counters reset, the test's acceleration and speed.
std::vector<Command> trackingStartCommands(char address, const TrackingMove& m, int delay150, int delay100);

// The tracking test needs a controller tracking in the sidereal system with
// no offset speed (thousandths, as stored).
bool trackingTestAllowed(int refSyst, bool tracking, std::int32_t offsetTrackSpeed);
inline constexpr std::string_view kTrackingTestRefused =
    "Motor must be tracking in sidereal ref. system \r\nand offset track speed must be zero\r\nto do the track test";

// Origins of the time and position axes; they belong to the last run that
// reached its sixth sample (zero before the first).
struct RunOrigins {
    double initialSid = 0; // sidereal count of sample 5
    double initialPos = 0; // position of sample 5
    double finalSid = 0;   // initialSid + 17 × sidereal speed
};

struct Sample {
    int index = 0;       // 0 .. kSampleCount - 1
    double sidTime = 0;  // the controller's sidereal count
    double position = 0; // motor or encoder position
    double sidSpeed = 0; // steps per second
    double target = 0;   // the run's target offset, steps
    RunOrigins origins;  // as they stand before this sample
    TANALYZETEST kind = anaTrack;
    char address = '@';
    std::string_view graphStepText; // argument of the move, as typed
};

struct SampleResult {
    double error = 0;                   // tracking error in graph pixels (40 per arcsecond)
    RunOrigins origins;                 // as they stand after this sample
    std::optional<Command> move;        // "&D" or "&G" at sample 5, 200 ms pause
    std::optional<std::string> percent; // "37 %"; none when the progress is undefined
    bool ends = false;                  // the run ends with this sample
};

// One sample of a running test. The run ends on the first sample after index
// 6 whose sidereal count passes 17 seconds of sidereal motion (an undefined
// comparison counts as passed), or at the last sample the buffers hold.
SampleResult sampleStep(const Sample& s);

} // namespace analysis
