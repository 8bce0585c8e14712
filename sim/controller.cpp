#include "controller.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace qvnsim {

namespace {

constexpr std::int64_t kIndexWidth = 8; // index pulse length, steps
constexpr double kPi = 3.141592653589793;

// The DC motor and the mount it drives. Two limits on the gains come out of
// it, as on a real mount: a soft loop lets the loads push the motor about,
// and a hard one meets the cycle's delay and the drive train's compliance
// and rings.
//
// The drive train: a 1000-line encoder on the motor reads 4000 counts a motor
// turn; a 2.4:1 timing belt (20 and 48 teeth) turns the worm, the worm a
// 360-tooth wheel. That is 864 motor turns an axis turn, 0.375 arcsec a count,
// 9600 counts a worm turn and 40 counts/s at the sidereal rate: the tool's
// default settings. Positions are in counts (the controller's steps).
constexpr double kCountsPerTurn = 4000;
constexpr double kCountsPerRadian = kCountsPerTurn / (2 * kPi);
constexpr double kBeltTeeth = 48; // of the worm's pulley: belt teeth a worm turn

// The motor: a 12 V DC motor of about 40 mm behind a PWM H-bridge. The PWM
// sets the winding's voltage; the current (voltage less back-EMF, over the
// winding's resistance) is the torque, up to the bridge's current limit.
// Back-EMF is what damps the motor, and a PI loop (this controller has no D
// term) needs it: with the current imposed directly, it would ring at any
// gain. The motor alone has a mechanical time constant (inertia x resistance
// / torque constant^2) of 3 ms, usual for its size.
constexpr double kSupplyVolts = 12;
constexpr double kWindingOhms = 2.0;
constexpr double kTorqueConstant = 0.0577; // N m/A, also V s/rad: 1990 rpm no-load
constexpr double kCurrentLimit = 2.0;      // A; stalled at 12 V it would draw 6 A
constexpr double kRotorInertia = 5.0e-6;   // kg m2: rotor, encoder disc and pulley
constexpr double kNoLoadSpeed = kSupplyVolts / kTorqueConstant * kCountsPerRadian; // counts/s

// The mount, seen from the motor through the 864:1 reduction, whose square
// (746 496) divides inertia and stiffness: 9.3 kg m2 about the axis (a 20 kg
// telescope with its counterweights) is 2.5 rotors, and the worm mesh, the
// axis and the saddle, 75 000 N m/rad at the axis, make the spring between
// them. The telescope swings on it at 14 Hz while the motor is held, and at
// 27 Hz against the free rotor.
constexpr double kMountInertia = 12.5e-6; // kg m2
constexpr double kStiffness = 0.101;      // N m/rad
constexpr double kDampingRatio = 0.02;    // a steel worm in a bronze wheel hardly damps

// Loads at the motor shaft, N m. For scale: at KP 7 the loop answers a count
// of error with 0.29 mN m.
constexpr double kFriction = 0.15e-3;    // brushes and bearings, Coulomb; on the low side for the size
constexpr double kLoadWorm = 0.05e-3;    // the worm's runout tightens the mesh once a worm turn
constexpr double kLoadBelt = 0.02e-3;    // the belt's teeth meeting the worm's pulley
constexpr double kLoadCogging = 0.05e-3; // the motor's 2 poles and 7 slots: 14 a motor turn
constexpr double kCogsPerTurn = 14;
constexpr double kLoadNoise = 0.17e-3; // deviation of the wind on the tube: 0.15 N m at the axis
constexpr double kNoiseFilter = 0.98;  // a cycle's share kept: gusts of about 50 ms

// The PI law: drive in counts/s of no-load speed (kNoLoadSpeed is a duty of
// 100 %) per count of error and unit of KP, and per count x cycle of summed
// error and unit of KI. The scales put the default KP 7 seven times below
// the gain where the loop turns unstable (near KP 50), and the integral's
// corner at KI 20 at 5 rad/s, well under the loop's 11 Hz.
constexpr double kKpScale = 16;
constexpr double kKiScale = 0.028;
// The mechanics advance in eighths of a cycle, fine beside the 27 Hz resonance.
constexpr int kSubsteps = 8;

std::int64_t floorDiv(std::int64_t a, std::int64_t b)
{
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

double approach(double x, double target, double step)
{
    if (x < target) return std::min(x + step, target);
    return std::max(x - step, target);
}

// Strict decimal integer: optional "-", digits, nothing else, within [lo, hi].
std::optional<std::int64_t> integerArg(std::string_view text, std::int64_t lo, std::int64_t hi)
{
    if (text.empty() || text.size() > 12) return std::nullopt;
    std::int64_t value = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (*first == '+') return std::nullopt;
    const auto [ptr, ec] = std::from_chars(first, last, value);
    if (ec != std::errc{} || ptr != last) return std::nullopt;
    if (value < lo || value > hi) return std::nullopt;
    return value;
}

constexpr std::int64_t kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();

std::string int32Text(std::int64_t v)
{
    // The controller's counters are 32 bits wide and wrap.
    const auto wrapped = static_cast<std::int32_t>(static_cast<std::uint32_t>(v & 0xffffffffLL));
    return std::to_string(wrapped);
}

} // namespace

Controller::Controller(int index, MotorKind motor, const Options& options, std::uint64_t seed)
    : index_(index), motor_(motor), options_(options), rng_(seed), sensorLevel_(options.sensorLevel)
{}

void Controller::advanceTo(std::int64_t cycle)
{
    while (cycle_ < cycle) step();
}

void Controller::step()
{
    ++cycle_;
    count_ += params_.siderealSpeed; // thousandths of a step per second = millionths per cycle
    stepSetPoint();
    if (motor_ == MotorKind::Dc) stepMotor();
    checkInputs();
}

bool Controller::engaged() const { return mode_ != Mode::Released && mode_ != Mode::Free && mode_ != Mode::Halted; }

bool Controller::trackingNow() const { return mode_ == Mode::Tracking || (mode_ == Mode::Moving && resumeTracking_); }

bool Controller::canMove() const { return mode_ != Mode::Released && mode_ != Mode::Halted && !sensorFault(); }

std::int64_t Controller::trackRate() const
{
    return static_cast<std::int64_t>(params_.siderealSpeed) + params_.offsetSpeed;
}

// Highest speed (relative to the target) allowed at `distance` steps from it:
// the last `finalApproach` steps are taken slowly, and the profile can always
// brake in time.
double Controller::speedLimit(double distance) const
{
    const double a = params_.accel;
    const double vmax = std::abs(static_cast<double>(params_.moveSpeed));
    const double f = params_.finalApproach;
    if (f <= 0) return std::min(vmax, std::sqrt(2 * a * distance));
    const double slow = std::max(1.0, vmax / 10);
    auto finalSpeed = [&](double d) { return std::min(slow, std::sqrt(2 * a * d)); };
    if (distance <= f) return std::min(vmax, finalSpeed(distance));
    const double vf = finalSpeed(f);
    return std::min(vmax, std::sqrt(vf * vf + 2 * a * (distance - f)));
}

void Controller::stepSetPoint()
{
    const double dv = params_.accel * kCycleS;
    switch (mode_) {
    case Mode::Tracking: {
        std::int64_t rate = trackRate();
        if (guideCyclesLeft_ > 0) {
            rate += guideSign_ * static_cast<std::int64_t>(params_.guideSpeed);
            --guideCyclesLeft_;
        }
        setPoint_ += rate;
        velocity_ = static_cast<double>(rate) / 1000;
        break;
    }
    case Mode::Moving: {
        // Work relative to the target, which may drift at the tracking rate.
        const std::int64_t gap = target_ - setPoint_;
        const double rate = static_cast<double>(targetRate_) / 1000;
        const double e = static_cast<double>(gap) / kMicro;
        double u = velocity_ - rate;
        // Brake on the distance left after this cycle, or the stop comes one cycle late.
        const double ahead = std::max(0.0, std::abs(e) - std::abs(u) * kCycleS);
        u = approach(u, std::copysign(speedLimit(ahead), e), dv);
        const std::int64_t delta = std::llround(u * 1000);
        const bool reaches = gap == 0 || (gap > 0 ? delta >= gap : delta <= gap);
        target_ += targetRate_;
        if (reaches && std::abs(u) <= std::sqrt(2.0 * params_.accel * std::abs(e)) + 2 * dv + 1) {
            setPoint_ = target_;
            velocity_ = rate;
            finishMotion();
        } else {
            setPoint_ += delta + targetRate_;
            velocity_ = u + rate;
        }
        break;
    }
    case Mode::Slewing:
        velocity_ = approach(velocity_, slewSpeed_, dv);
        setPoint_ += std::llround(velocity_ * 1000);
        break;
    case Mode::Stopping:
        velocity_ = approach(velocity_, 0, dv);
        setPoint_ += std::llround(velocity_ * 1000);
        if (velocity_ == 0) finishMotion();
        break;
    case Mode::Free:
    case Mode::Released:
        velocity_ = 0;
        // An unpowered DC motor reports where it rolls to.
        if (motor_ == MotorKind::Dc) setPoint_ = std::llround(motorPos_ * kMicro);
        break;
    case Mode::Locked:
    case Mode::Halted: velocity_ = 0; break;
    }
}

// One control cycle of the DC motor. The controller reads the encoder, a
// whole count, and computes the drive that goes out at the next cycle; the
// drive computed a cycle ago acts meanwhile.
void Controller::stepMotor()
{
    const bool powered = engaged();
    const double applied = drive_;
    drive_ = 0;
    if (powered) {
        const double e = static_cast<double>(setPoint_) / kMicro - std::floor(motorPos_);
        const double sumLimit = params_.integralLimit;
        errorSum_ = std::clamp(errorSum_ + e, -sumLimit, sumLimit);
        const double iMax = params_.integralMaxSpeed;
        const double integral = std::clamp(params_.ki * kKiScale * errorSum_, -iMax, iMax);
        drive_ = std::clamp(params_.kp * kKpScale * e + integral, -kNoLoadSpeed, kNoLoadSpeed);
    } else {
        errorSum_ = 0;
    }

    static const double kNoiseInput = kLoadNoise * std::sqrt(1 - kNoiseFilter * kNoiseFilter);
    loadNoise_ = kNoiseFilter * loadNoise_ + kNoiseInput * rng_.normal();
    // The loads follow the shaft, not the counters that a reset moves.
    const double shaft = motorPos_ + counterShift_;
    const double wormTurn = static_cast<double>(options_.stepsPerWormTurn);
    const double motorLoad = kLoadWorm * std::sin(2 * kPi * shaft / wormTurn) +
                             kLoadBelt * std::sin(2 * kPi * shaft * kBeltTeeth / wormTurn) +
                             kLoadCogging * std::sin(2 * kPi * shaft * kCogsPerTurn / kCountsPerTurn);

    // Rotor and mount, each a mass on the spring between them (semi-implicit
    // Euler). Torques in N m; kCountsPerRadian turns them into counts/s^2.
    static const double kSpringDamping = // N m s/rad
        2 * kDampingRatio * std::sqrt(kStiffness * kRotorInertia * kMountInertia / (kRotorInertia + kMountInertia));
    const double h = kCycleS / kSubsteps;
    const double motorGain = kCountsPerRadian / kRotorInertia * h;
    const double mountGain = kCountsPerRadian / kMountInertia * h;
    for (int i = 0; i < kSubsteps; ++i) {
        double current = 0; // an idle bridge leaves the winding open
        if (powered) {
            current = std::clamp(kTorqueConstant * (applied - motorVel_) / (kCountsPerRadian * kWindingOhms),
                                 -kCurrentLimit, kCurrentLimit);
        }
        const double spring =
            (kStiffness * (motorPos_ - mountPos_) + kSpringDamping * (motorVel_ - mountVel_)) / kCountsPerRadian;
        const double torque = kTorqueConstant * current - spring - motorLoad;
        if (motorVel_ == 0) {
            // Stuck until the torque overcomes friction. An idle motor at rest
            // stays: the worm does not let the wheel turn it back.
            const double net =
                !powered || std::abs(torque) <= kFriction ? 0 : torque - std::copysign(kFriction, torque);
            motorVel_ = net * motorGain;
        } else {
            const double next = motorVel_ + (torque - std::copysign(kFriction, motorVel_)) * motorGain;
            motorVel_ = (next > 0) != (motorVel_ > 0) ? 0 : next; // friction stops, never reverses
        }
        mountVel_ += (spring - loadNoise_) * mountGain;
        motorPos_ += motorVel_ * h;
        mountPos_ += mountVel_ * h;
    }

    if (powered && std::abs(static_cast<double>(setPoint_) / kMicro - std::floor(motorPos_)) > params_.errorLimit) {
        halt();
    }
}

bool Controller::sensorFault() const
{
    const bool below = (params_.polarity & 128) != 0;
    return below ? sensorLevel_ < params_.sensorThreshold : sensorLevel_ > params_.sensorThreshold;
}

bool Controller::switchActive(bool plus) const
{
    const double pos = exactPosition();
    const bool pressed = plus ? pos >= options_.limitPlusAt : pos <= options_.limitMinusAt;
    const bool closed = options_.switchesNormallyClosed ? !pressed : pressed;
    const bool configuredClosed = (params_.polarity & (plus ? 1 : 2)) != 0;
    return configuredClosed ? !closed : closed;
}

void Controller::checkInputs()
{
    if (engaged()) {
        const bool intoPlus = velocity_ > 0 && switchActive(true);
        const bool intoMinus = velocity_ < 0 && switchActive(false);
        const bool moving = mode_ != Mode::Locked;
        if (intoPlus || intoMinus || (moving && sensorFault())) hardStop();
    }
    const std::int64_t turn = wormTurn();
    if (turn != lastTurn_) {
        lastTurn_ = turn;
        indexSeen_ = true;
        if (params_.polarity & 64) resetCounters();
    }
}

// The index mark sits half a turn from the zero of the counters, so that a
// motor resting at zero does not flicker across it; the falling edge comes
// one pulse width later than the rising one.
std::int64_t Controller::wormTurn() const
{
    const std::int64_t turn = options_.stepsPerWormTurn;
    const std::int64_t edge = turn / 2 + ((params_.polarity & 32) ? kIndexWidth : 0);
    return floorDiv(encoder() - edge, turn);
}

void Controller::finishMotion()
{
    guideCyclesLeft_ = 0;
    if (resumeTracking_) {
        resumeTracking_ = false;
        mode_ = Mode::Tracking;
        velocity_ = static_cast<double>(trackRate()) / 1000;
        return;
    }
    velocity_ = 0;
    mode_ = (params_.polarity & 16) ? Mode::Free : Mode::Locked;
}

void Controller::hardStop()
{
    resumeTracking_ = false;
    velocity_ = 0;
    finishMotion();
}

void Controller::halt()
{
    mode_ = Mode::Halted;
    velocity_ = 0;
    resumeTracking_ = false;
    guideCyclesLeft_ = 0;
}

void Controller::resetCounters()
{
    count_ = 0;
    target_ -= setPoint_;
    setPoint_ = 0;
    const double whole = std::floor(motorPos_);
    motorPos_ -= whole;
    mountPos_ -= whole;
    counterShift_ += whole;
    lastTurn_ = wormTurn();
}

void Controller::startMove(std::int64_t target, std::int64_t targetRate, bool resume)
{
    target_ = target;
    targetRate_ = targetRate;
    resumeTracking_ = resume;
    guideCyclesLeft_ = 0;
    mode_ = Mode::Moving;
}

std::int64_t Controller::siderealCount() const { return floorDiv(count_, kMicro); }
std::int64_t Controller::position() const { return floorDiv(setPoint_, kMicro); }
double Controller::exactEncoder() const { return motor_ == MotorKind::Dc ? motorPos_ : exactPosition(); }
std::int64_t Controller::encoder() const
{
    if (motor_ == MotorKind::Stepper) return position();
    return static_cast<std::int64_t>(std::floor(motorPos_));
}

char Controller::stateLetter() const
{
    if (mode_ == Mode::Released) return 'X';
    if (mode_ == Mode::Halted) return 'E';
    if (switchActive(true)) return 'W';
    if (switchActive(false)) return 'w';
    if (sensorFault()) return (params_.polarity & 128) ? 'u' : 'U';
    switch (mode_) {
    case Mode::Free: return 'F';
    case Mode::Locked: return 'S';
    case Mode::Tracking:
        if (guideCyclesLeft_ > 0) return guideSign_ > 0 ? 'G' : 'g';
        return 'T';
    default: return 'M';
    }
}

std::string Controller::statusReply(bool encoderPosition)
{
    const double noisy = sensorLevel_ + options_.sensorNoise * rng_.normal();
    const long sensor = std::lround(std::clamp(noisy, 0.0, 1023.0));
    std::string reply;
    reply += address();
    reply += motor_ == MotorKind::Dc ? '0' : '1';
    reply += stateLetter();
    reply += internalState();
    reply += indexIndicator();
    reply += int32Text(siderealCount());
    reply += 'A';
    reply += int32Text(encoderPosition ? encoder() : position());
    reply += 'B';
    reply += std::to_string(sensor);
    reply += "C#";
    return reply;
}

std::optional<std::string> Controller::command(std::string_view body)
{
    if (body.size() < 2 || body[0] != '&') return std::nullopt;
    const char letter = body[1];
    std::string_view arg = body.substr(2);

    if (letter == 'Q') {
        if (arg == "0") return statusReply(false);
        if (arg == "1") return statusReply(true);
        return std::nullopt;
    }

    // Commands without an argument.
    if (std::string_view("RNFZSJT").find(letter) != std::string_view::npos) {
        if (!arg.empty()) return std::nullopt;
        auto engageFromFree = [this] {
            if (motor_ == MotorKind::Dc) setPoint_ = std::llround(motorPos_ * kMicro);
            errorSum_ = 0;
        };
        switch (letter) {
        case 'R':
            resetCounters();
            if (mode_ == Mode::Released) {
                engageFromFree();
                mode_ = Mode::Locked;
            }
            break;
        case 'N':
            guideCyclesLeft_ = 0;
            if (mode_ == Mode::Tracking) {
                mode_ = Mode::Stopping;
            } else if (mode_ == Mode::Moving && resumeTracking_) {
                resumeTracking_ = false;
                targetRate_ = 0; // the target stays where the sky had carried it
            }
            break;
        case 'F':
            if (engaged()) {
                mode_ = Mode::Free;
                velocity_ = 0;
                resumeTracking_ = false;
                guideCyclesLeft_ = 0;
            }
            break;
        case 'Z':
            mode_ = Mode::Released;
            velocity_ = 0;
            resumeTracking_ = false;
            guideCyclesLeft_ = 0;
            break;
        case 'S':
            if (mode_ == Mode::Moving || mode_ == Mode::Slewing || mode_ == Mode::Tracking) {
                mode_ = Mode::Stopping;
                resumeTracking_ = false;
                guideCyclesLeft_ = 0;
            } else if (mode_ == Mode::Free && !(params_.polarity & 16)) {
                engageFromFree();
                mode_ = Mode::Locked;
            }
            break;
        case 'J': indexSeen_ = false; break;
        case 'T':
            if (!canMove()) break;
            if (mode_ == Mode::Free) engageFromFree();
            if (mode_ == Mode::Locked || mode_ == Mode::Free || mode_ == Mode::Stopping) {
                mode_ = Mode::Tracking;
            } else if (mode_ == Mode::Moving) {
                resumeTracking_ = true;
            }
            break;
        }
        return std::nullopt;
    }

    if (letter == 'P') {
        if (arg.empty() || (arg[0] != '+' && arg[0] != '-')) return std::nullopt;
        const int sign = arg[0] == '+' ? 1 : -1;
        const auto ms = integerArg(arg.substr(1), 1, 10000);
        if (!ms || mode_ != Mode::Tracking) return std::nullopt;
        guideSign_ = sign;
        guideCyclesLeft_ = *ms; // one cycle per millisecond
        return std::nullopt;
    }

    auto set = [&](int& field, std::int64_t lo, std::int64_t hi) {
        if (const auto v = integerArg(arg, lo, hi)) field = static_cast<int>(*v);
    };
    const std::int64_t sign = params_.refSystem == 1 ? -1 : 1; // sky coordinates run the other way
    switch (letter) {
    case 'y': set(params_.polarity, 0, 255); break;
    case 'h': set(params_.sensorThreshold, 0, 1023); break;
    case 's': {
        const auto v = integerArg(arg, -1000000, 1000000);
        if (v && *v != 0) params_.moveSpeed = static_cast<int>(*v);
        break;
    }
    case 'a': set(params_.accel, 1, 10000000); break;
    case 'f': set(params_.finalApproach, 0, 1000000); break;
    case 'u': set(params_.pulseWidth, 0, 1000); break;
    case 'p': set(params_.kp, 0, 1000000); break;
    case 'i': set(params_.ki, 0, 1000000); break;
    case 'e': set(params_.errorLimit, 1, 1000000000); break;
    case 'j': set(params_.integralLimit, 0, 1000000000); break;
    case 'k': set(params_.integralMaxSpeed, 0, 1000000); break;
    case 'r': set(params_.siderealSpeed, 0, 100000000); break;
    case 't': set(params_.offsetSpeed, -100000000, 100000000); break;
    case 'g': set(params_.guideSpeed, 0, 100000000); break;
    case 'C': set(params_.refSystem, 0, 1); break;
    case 'M': {
        const auto v = integerArg(arg, -1000000, 1000000);
        if (!v || !canMove()) break;
        if (mode_ == Mode::Free && motor_ == MotorKind::Dc) setPoint_ = std::llround(motorPos_ * kMicro);
        mode_ = Mode::Slewing;
        slewSpeed_ = static_cast<double>(sign * *v);
        resumeTracking_ = false;
        guideCyclesLeft_ = 0;
        break;
    }
    case 'w': {
        const auto v = integerArg(arg, -1000000, 1000000);
        if (v && mode_ == Mode::Slewing) slewSpeed_ = static_cast<double>(sign * *v);
        break;
    }
    case 'D':
    case 'G': {
        const auto v = integerArg(arg, kInt32Min, kInt32Max);
        if (!v || !canMove()) break;
        if (mode_ == Mode::Free && motor_ == MotorKind::Dc) {
            setPoint_ = std::llround(motorPos_ * kMicro);
            errorSum_ = 0;
        }
        const bool tracking = trackingNow();
        const std::int64_t rate = tracking ? trackRate() : 0;
        std::int64_t target;
        if (letter == 'D') {
            target = setPoint_ + sign * *v * kMicro;
        } else if (params_.refSystem == 1) {
            target = count_ - *v * kMicro; // sidereal position = count - motor position
        } else {
            target = *v * kMicro;
            startMove(target, 0, tracking);
            break;
        }
        startMove(target, rate, tracking);
        break;
    }
    default: break;
    }
    return std::nullopt;
}

} // namespace qvnsim
