#include "controller.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace qvnsim {

namespace {

// DC motor and drive, in steps (encoder counts) and steps per second.
constexpr double kMotorTau = 0.005;     // mechanical time constant, s
constexpr double kMaxDrive = 8000;      // no-load speed at full drive
constexpr double kFriction = 20;        // Coulomb friction, as a speed
constexpr double kKpScale = 20;         // drive per step of error and unit of KP
constexpr double kKiScale = 0.2;        // drive per summed step of error and unit of KI
constexpr double kLoadWorm = 60;        // periodic load of the worm, as a speed
constexpr double kLoadGear = 25;        // of the gear train (30 periods per worm turn)
constexpr double kLoadCogging = 60;     // of the motor (64 counts)
constexpr double kLoadNoise = 150;      // filtered random load, its standard deviation
constexpr double kNoiseFilter = 0.98;
constexpr std::int64_t kIndexWidth = 8; // index pulse length, steps
constexpr double kPi = 3.141592653589793;

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

double approach(double x, double target, double step) {
    if (x < target) return std::min(x + step, target);
    return std::max(x - step, target);
}

// Strict decimal integer: optional "-", digits, nothing else, within [lo, hi].
std::optional<std::int64_t> integerArg(std::string_view text, std::int64_t lo, std::int64_t hi) {
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

std::string int32Text(std::int64_t v) {
    // The controller's counters are 32 bits wide and wrap.
    const auto wrapped = static_cast<std::int32_t>(static_cast<std::uint32_t>(v & 0xffffffffLL));
    return std::to_string(wrapped);
}

} // namespace

Controller::Controller(int index, MotorKind motor, const Options& options, std::uint64_t seed)
    : index_(index), motor_(motor), options_(options), rng_(seed), sensorLevel_(options.sensorLevel) {}

void Controller::advanceTo(std::int64_t cycle) {
    while (cycle_ < cycle) step();
}

void Controller::step() {
    ++cycle_;
    count_ += params_.siderealSpeed; // thousandths of a step per second = millionths per cycle
    stepSetPoint();
    if (motor_ == MotorKind::Dc) stepMotor();
    checkInputs();
}

bool Controller::engaged() const {
    return mode_ != Mode::Released && mode_ != Mode::Free && mode_ != Mode::Halted;
}

bool Controller::trackingNow() const {
    return mode_ == Mode::Tracking || (mode_ == Mode::Moving && resumeTracking_);
}

bool Controller::canMove() const {
    return mode_ != Mode::Released && mode_ != Mode::Halted && !sensorFault();
}

std::int64_t Controller::trackRate() const {
    return static_cast<std::int64_t>(params_.siderealSpeed) + params_.offsetSpeed;
}

// Highest speed (relative to the target) allowed at `distance` steps from it:
// the last `finalApproach` steps are taken slowly, and the profile can always
// brake in time.
double Controller::speedLimit(double distance) const {
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

void Controller::stepSetPoint() {
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
        if (motor_ == MotorKind::Dc) setPoint_ = std::llround(theta_ * kMicro);
        break;
    case Mode::Locked:
    case Mode::Halted:
        velocity_ = 0;
        break;
    }
}

void Controller::stepMotor() {
    double drive = 0;
    if (engaged()) {
        const double e = static_cast<double>(setPoint_) / kMicro - theta_;
        const double sumLimit = params_.integralLimit;
        errorSum_ = std::clamp(errorSum_ + e, -sumLimit, sumLimit);
        const double iMax = params_.integralMaxSpeed;
        const double integral = std::clamp(params_.ki * kKiScale * errorSum_, -iMax, iMax);
        drive = std::clamp(params_.kp * kKpScale * e + integral, -kMaxDrive, kMaxDrive);
    } else {
        errorSum_ = 0;
    }
    static const double kNoiseInput = kLoadNoise * std::sqrt(1 - kNoiseFilter * kNoiseFilter);
    loadNoise_ = kNoiseFilter * loadNoise_ + kNoiseInput * rng_.normal();
    const double turn = static_cast<double>(options_.stepsPerWormTurn);
    const double load = kLoadWorm * std::sin(2 * kPi * theta_ / turn)
        + kLoadGear * std::sin(2 * kPi * theta_ * 30 / turn)
        + kLoadCogging * std::sin(2 * kPi * theta_ / 64) + loadNoise_;

    double accel = (drive - load - omega_) / kMotorTau;
    const double friction = kFriction / kMotorTau;
    if (omega_ == 0) {
        accel = std::abs(accel) <= friction ? 0 : accel - std::copysign(friction, accel);
        omega_ = accel * kCycleS;
    } else {
        const double next = omega_ + (accel - std::copysign(friction, omega_)) * kCycleS;
        omega_ = (next > 0) != (omega_ > 0) ? 0 : next; // friction stops, never reverses
    }
    theta_ += omega_ * kCycleS;

    if (engaged() && std::abs(static_cast<double>(setPoint_) / kMicro - theta_) > params_.errorLimit) {
        halt();
    }
}

bool Controller::sensorFault() const {
    const bool below = (params_.polarity & 128) != 0;
    return below ? sensorLevel_ < params_.sensorThreshold : sensorLevel_ > params_.sensorThreshold;
}

bool Controller::switchActive(bool plus) const {
    const double pos = exactPosition();
    const bool pressed = plus ? pos >= options_.limitPlusAt : pos <= options_.limitMinusAt;
    const bool closed = options_.switchesNormallyClosed ? !pressed : pressed;
    const bool configuredClosed = (params_.polarity & (plus ? 1 : 2)) != 0;
    return configuredClosed ? !closed : closed;
}

void Controller::checkInputs() {
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
std::int64_t Controller::wormTurn() const {
    const std::int64_t turn = options_.stepsPerWormTurn;
    const std::int64_t edge = turn / 2 + ((params_.polarity & 32) ? kIndexWidth : 0);
    return floorDiv(encoder() - edge, turn);
}

void Controller::finishMotion() {
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

void Controller::hardStop() {
    resumeTracking_ = false;
    velocity_ = 0;
    finishMotion();
}

void Controller::halt() {
    mode_ = Mode::Halted;
    velocity_ = 0;
    resumeTracking_ = false;
    guideCyclesLeft_ = 0;
}

void Controller::resetCounters() {
    count_ = 0;
    target_ -= setPoint_;
    setPoint_ = 0;
    theta_ -= std::floor(theta_);
    lastTurn_ = wormTurn();
}

void Controller::startMove(std::int64_t target, std::int64_t targetRate, bool resume) {
    target_ = target;
    targetRate_ = targetRate;
    resumeTracking_ = resume;
    guideCyclesLeft_ = 0;
    mode_ = Mode::Moving;
}

std::int64_t Controller::siderealCount() const { return floorDiv(count_, kMicro); }
std::int64_t Controller::position() const { return floorDiv(setPoint_, kMicro); }
double Controller::exactEncoder() const { return motor_ == MotorKind::Dc ? theta_ : exactPosition(); }
std::int64_t Controller::encoder() const {
    if (motor_ == MotorKind::Stepper) return position();
    return static_cast<std::int64_t>(std::floor(theta_));
}

char Controller::stateLetter() const {
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

std::string Controller::statusReply(bool encoderPosition) {
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

std::optional<std::string> Controller::command(std::string_view body) {
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
            if (motor_ == MotorKind::Dc) setPoint_ = std::llround(theta_ * kMicro);
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
        case 'J':
            indexSeen_ = false;
            break;
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
        if (mode_ == Mode::Free && motor_ == MotorKind::Dc) setPoint_ = std::llround(theta_ * kMicro);
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
            setPoint_ = std::llround(theta_ * kMicro);
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
