#pragma once
// One simulated motor controller: its parameters, its motion and, for a DC
// motor, the motor and the mount it drives under the PI loop. Time advances
// in whole 1 ms control cycles; positions are kept in millionths of a step so
// that rates given in thousandths of a step per second add up exactly.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "options.h"
#include "random.h"

namespace qvnsim {

inline constexpr std::int64_t kMicro = 1000000; // position units per step
inline constexpr double kCycleS = 0.001;        // control cycle

struct Params {
    int polarity = 4;
    int sensorThreshold = 1023;
    int moveSpeed = 3000;  // steps/s, sign ignored
    int accel = 3000;      // steps/s^2
    int finalApproach = 0; // steps
    int pulseWidth = 2;    // microseconds (kept, not simulated)
    int kp = 7;
    int ki = 20;
    int errorLimit = 3000;       // steps
    int integralLimit = 3000;    // steps
    int integralMaxSpeed = 3000; // steps/s
    int siderealSpeed = 40000;   // thousandths of a step per second
    int offsetSpeed = 0;         // thousandths
    int guideSpeed = 40000;      // thousandths
    int refSystem = 0;           // 0 fixed, 1 sidereal
};

enum class Mode : char {
    Released = '0', // "X"
    Locked = '1',   // "S"
    Free = '2',     // "F"
    Moving = '3',   // to a target
    Slewing = '4',  // continuous
    Stopping = '5', // decelerating to rest
    Tracking = '6',
    Halted = '7', // "E"
};

class Controller {
public:
    Controller(int index, MotorKind motor, const Options& options, std::uint64_t seed);

    // Runs control cycles until the cycle count reaches `cycle`.
    void advanceTo(std::int64_t cycle);
    // Handles one command body after the address character ("&D300");
    // returns the reply, if the command has one. Unknown commands and bad
    // arguments change nothing.
    std::optional<std::string> command(std::string_view body);
    // Stops the motor and shows "E" until release and activation.
    void halt();

    // What the tool can see.
    int index() const { return index_; }
    char address() const { return static_cast<char>(64 + index_); }
    MotorKind motor() const { return motor_; }
    Mode mode() const { return mode_; }
    char stateLetter() const;
    char internalState() const { return static_cast<char>(mode_); }
    char indexIndicator() const { return indexSeen_ ? '1' : '0'; }
    std::int64_t siderealCount() const; // whole steps
    std::int64_t position() const;      // motor position (set point), whole steps
    std::int64_t encoder() const;       // measured position, whole steps
    double exactPosition() const { return static_cast<double>(setPoint_) / kMicro; }
    double exactEncoder() const;
    bool guiding() const { return guideCyclesLeft_ > 0; }
    const Params& params() const { return params_; }
    std::int64_t cycle() const { return cycle_; }
    void setSensorLevel(double level) { sensorLevel_ = level; }
    std::string statusReply(bool encoder);

private:
    void step();
    void stepSetPoint();
    void stepMotor();
    void checkInputs();
    void finishMotion();
    void hardStop();
    bool engaged() const;
    bool trackingNow() const;
    bool canMove() const;
    std::int64_t trackRate() const; // millionths of a step per cycle
    double speedLimit(double distance) const;
    void startMove(std::int64_t target, std::int64_t targetRate, bool resume);
    void resetCounters();
    bool sensorFault() const;
    bool switchActive(bool plus) const;
    std::int64_t wormTurn() const;

    int index_;
    MotorKind motor_;
    Options options_;
    Random rng_;
    Params params_;
    Mode mode_ = Mode::Released;
    std::int64_t cycle_ = 0;

    std::int64_t count_ = 0;      // sidereal count, millionths
    std::int64_t setPoint_ = 0;   // millionths
    double velocity_ = 0;         // set point speed, steps/s
    std::int64_t target_ = 0;     // move target, millionths
    std::int64_t targetRate_ = 0; // its drift per cycle, millionths
    bool resumeTracking_ = false;
    double slewSpeed_ = 0; // steps/s
    int guideSign_ = 0;
    std::int64_t guideCyclesLeft_ = 0;

    // DC motor and mount under the PI loop, in encoder counts (= steps) and
    // counts per second; the mount is referred to the motor shaft.
    double motorPos_ = 0; // the rotor, which carries the encoder
    double motorVel_ = 0;
    double mountPos_ = 0; // the mount beyond the compliant drive train
    double mountVel_ = 0;
    double errorSum_ = 0;     // summed error, counts x cycles
    double drive_ = 0;        // computed in the last cycle, applied in this one; counts/s
    double loadNoise_ = 0;    // N m
    double counterShift_ = 0; // counts that resets took off the counters

    double sensorLevel_;
    bool indexSeen_ = false;
    std::int64_t lastTurn_ = 0;
};

} // namespace qvnsim
