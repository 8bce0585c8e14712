#include "calculators/calculators.h"

#include "settings/numbers.h"

#include <cmath>

namespace calc {

namespace {

constexpr double kSecondsPerMinute = 60.0;
constexpr double kSiderealDay = 86164.0999; // seconds
constexpr double kSkyRate = 15.0;           // arcseconds per second of time
constexpr double kDegreesPerTurn = 360.0;
constexpr double kSlewMargin = 0.8;     // share of the full encoder speed
constexpr double kFocuserTravel = 10.0; // mm that the shaft turns refer to

// Thrown by the checked operations, caught by the calculation that ran them.
struct Stop {
    Fault fault;
};

// Every step is checked here rather than left to floating-point traps, so
// the fault is reported at the step that caused it.
double checked(double v)
{
    if (std::isnan(v)) throw Stop{Fault::InvalidOperation};
    if (std::isinf(v)) throw Stop{Fault::Overflow};
    // A zero result shows as 0, never as -0 (e.g. a zero count times a
    // negative ratio).
    return v + 0.0;
}

double mul(double a, double b) { return checked(a * b); }

double div(double a, double b)
{
    if (b == 0.0) throw Stop{a == 0.0 ? Fault::InvalidOperation : Fault::DivisionByZero};
    return checked(a / b);
}

double root(double a)
{
    if (a < 0.0) throw Stop{Fault::InvalidOperation};
    return checked(std::sqrt(a));
}

// Axis ratio: motor revolutions per revolution of the axis.
double axisRatio(double teethNum, double reductor, double gears, double teethAdv)
{
    return div(mul(mul(teethNum, reductor), gears), teethAdv);
}

} // namespace

const char* faultMessage(Fault fault)
{
    switch (fault) {
    case Fault::DivisionByZero: return "Floating point division by zero";
    case Fault::InvalidOperation: return "Invalid floating point operation";
    case Fault::Overflow: return "Floating point overflow";
    }
    return "Floating point error";
}

Outcome calculateDc(const DcInputs& in, char sep)
{
    using settings::formatFixed;
    using settings::formatRounded;
    Outcome out;
    auto write = [&out](int label, std::string text) { out.labels.emplace_back(label, std::move(text)); };
    try {
        const double motorRpm = mul(in.rpm, in.reductor);
        const double motorRps = div(motorRpm, kSecondsPerMinute);
        write(1, "Full speed of the motor rotor at nominal voltage = " + formatRounded(motorRpm, sep) + " RPM  or  " +
                     formatRounded(motorRps, sep) + " revolutions/sec.");

        const double encoderSpeed = mul(motorRps, in.counts);
        write(2, "Full quadrature encoder speed at nominal voltage = " + formatFixed(encoderSpeed, 3, sep) +
                     " counts/sec.");

        const double countsPerAxisTurn = mul(in.counts, axisRatio(in.teethNum, in.reductor, in.gears, in.teethAdv));
        const double sidereal = div(countsPerAxisTurn, kSiderealDay);
        write(3,
              "Calculated sidereal tracking speed with given data = " + formatFixed(sidereal, 4, sep) + " counts/sec.");

        const double countAngle = div(kSkyRate, sidereal);
        write(4, "One quadrature encoder count = " + formatFixed(countAngle, 3, sep) + " arcsec");

        const double oneDegree = div(countsPerAxisTurn, kDegreesPerTurn);
        write(6, "Slew speed for 1 degree/sec = " + formatFixed(oneDegree, 3, sep) + " counts/sec");

        const double maxSlew = mul(kSlewMargin, encoderSpeed);
        const double maxSlewDegrees = div(maxSlew, oneDegree);
        write(5, "Suggested maximum slew or goto speed = " + formatFixed(maxSlew, 3, sep) + " counts/sec  or  " +
                     formatFixed(maxSlewDegrees, 3, sep) + " degree/sec");
    } catch (const Stop& stop) {
        out.fault = stop.fault;
    }
    return out;
}

Outcome calculateStepper(const StepperInputs& in, char sep)
{
    using settings::formatFixed;
    using settings::formatGeneral;
    Outcome out;
    auto write = [&out](int label, std::string text) { out.labels.emplace_back(label, std::move(text)); };
    try {
        const double ratio = axisRatio(in.teethNum, in.reductor, in.gears, in.teethAdv);

        const double perMotorTurn = mul(in.microSteps, in.fullSteps);
        write(1,
              "This motor outputs " + formatGeneral(perMotorTurn, sep) + " microsteps / revolution of the motor rotor");

        const double perAxisTurn = mul(perMotorTurn, ratio);
        const double sidereal = div(perAxisTurn, kSiderealDay);
        write(2, "Calculated sidereal tracking speed with given data = " + formatFixed(sidereal, 4, sep) +
                     " microsteps/sec.");

        const double stepAngle = div(kSkyRate, sidereal);
        write(3, "One microstep count = " + formatFixed(stepAngle, 3, sep) + " arcsec");

        // Microsteps are not evenly spaced; about sqrt(U) of them make one
        // reliable position.
        const double resolution = mul(root(in.microSteps), stepAngle);
        write(4, "Realistic motor resolution = " + formatFixed(resolution, 3, sep) + " arcsec");

        const double oneDegree = div(perAxisTurn, kDegreesPerTurn);
        write(6, "Slew speed for 1 degree/sec = " + formatFixed(oneDegree, 4, sep) + " microsteps/sec");

        const double maxDegrees = div(in.maxSpeed, oneDegree);
        write(5, "Maximum slew or goto speed = " + in.maxSpeedText + " microsteps/sec  or  " +
                     formatFixed(maxDegrees, 4, sep) + " degree/sec");
    } catch (const Stop& stop) {
        out.fault = stop.fault;
    }
    return out;
}

Outcome calculateFocuser(const FocuserInputs& in, char sep)
{
    Outcome out;
    try {
        const double countsPerMm = div(mul(mul(mul(in.turns, in.counts), in.reductor), in.gears), kFocuserTravel);
        out.labels.emplace_back(1, "Number of counts to move the focuser 1 mm  =  " +
                                       settings::formatFixed(countsPerMm, 4, sep) + "  q.e. counts  or  microsteps");
    } catch (const Stop& stop) {
        out.fault = stop.fault;
    }
    return out;
}

} // namespace calc
