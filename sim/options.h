#pragma once
// What a simulated bus looks like and which faults it shows.

#include <cstdint>
#include <vector>

namespace qvnsim {

enum class MotorKind { Dc, Stepper };

struct Options {
    std::vector<int> controllers{1, 2};           // indices 0..15 present on the bus
    std::vector<MotorKind> motors{MotorKind::Dc}; // one per controller, or one for all
    std::uint64_t seed = 1;
    double drop = 0;          // share of replies dropped
    double delayMs = 0;       // every reply delayed by this
    bool split = false;       // replies split in two with a gap
    double garble = 0;        // share of replies with one byte garbled
    double haltAfterS = -1;   // controllers halt with "E" after this many seconds (<0: never)
    double vanishAfterS = -1; // the device vanishes after this many seconds (<0: never)

    double splitGapMs = 30;   // gap between the two halves of a split reply
    double sensorLevel = 512; // mean sensor reading, 0..1023
    double sensorNoise = 2;   // its standard deviation
    // Limit switches trip when the motor position reaches these (steps).
    double limitPlusAt = 1e15;
    double limitMinusAt = -1e15;
    bool switchesNormallyClosed = false;  // how the simulated switches are wired
    std::int64_t stepsPerWormTurn = 9600; // index pulse once per worm turn
};

} // namespace qvnsim
