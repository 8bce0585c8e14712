#include "calculators/calculators.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

using calc::Fault;
using calc::Outcome;
using Labels = std::vector<std::pair<int, std::string>>;

// Inputs of the form as a new settings file has them.
calc::DcInputs dcDefaults()
{
    return {.teethNum = 360, .teethAdv = 1, .reductor = 30, .gears = 5, .counts = 64, .rpm = 350};
}

calc::StepperInputs stepperDefaults()
{
    return {.teethNum = 144,
            .teethAdv = 1,
            .reductor = 120,
            .gears = 1,
            .fullSteps = 48,
            .microSteps = 16,
            .maxSpeed = 12000,
            .maxSpeedText = "12000"};
}

calc::FocuserInputs focuserDefaults() { return {.turns = 10, .reductor = 48, .gears = 2, .counts = 50}; }

std::vector<int> labelNumbers(const Outcome& out)
{
    std::vector<int> numbers;
    for (const auto& label : out.labels) numbers.push_back(label.first);
    return numbers;
}

std::string labelText(const Outcome& out, int number)
{
    for (const auto& label : out.labels)
        if (label.first == number) return label.second;
    ADD_FAILURE() << "label " << number << " not written";
    return {};
}

// Complete texts, in writing order, for the default inputs in both locales.
TEST(Calculators, DefaultInputsGiveTheKnownFiguresInEitherLocale)
{
    struct Case {
        const char* name;
        std::function<Outcome()> run;
        Labels expected;
    };
    const Case cases[] = {
        {"dc point",
         [] { return calc::calculateDc(dcDefaults(), '.'); },
         {{1, "Full speed of the motor rotor at nominal voltage = 10500 RPM  or  175 revolutions/sec."},
          {2, "Full quadrature encoder speed at nominal voltage = 11200.000 counts/sec."},
          {3, "Calculated sidereal tracking speed with given data = 40.1095 counts/sec."},
          {4, "One quadrature encoder count = 0.374 arcsec"},
          {6, "Slew speed for 1 degree/sec = 9600.000 counts/sec"},
          {5, "Suggested maximum slew or goto speed = 8960.000 counts/sec  or  0.933 degree/sec"}}},
        {"dc comma",
         [] { return calc::calculateDc(dcDefaults(), ','); },
         {{1, "Full speed of the motor rotor at nominal voltage = 10500 RPM  or  175 revolutions/sec."},
          {2, "Full quadrature encoder speed at nominal voltage = 11200,000 counts/sec."},
          {3, "Calculated sidereal tracking speed with given data = 40,1095 counts/sec."},
          {4, "One quadrature encoder count = 0,374 arcsec"},
          {6, "Slew speed for 1 degree/sec = 9600,000 counts/sec"},
          {5, "Suggested maximum slew or goto speed = 8960,000 counts/sec  or  0,933 degree/sec"}}},
        {"stepper point",
         [] { return calc::calculateStepper(stepperDefaults(), '.'); },
         {{1, "This motor outputs 768 microsteps / revolution of the motor rotor"},
          {2, "Calculated sidereal tracking speed with given data = 154.0205 microsteps/sec."},
          {3, "One microstep count = 0.097 arcsec"},
          {4, "Realistic motor resolution = 0.390 arcsec"},
          {6, "Slew speed for 1 degree/sec = 36864.0000 microsteps/sec"},
          {5, "Maximum slew or goto speed = 12000 microsteps/sec  or  0.3255 degree/sec"}}},
        {"stepper comma",
         [] { return calc::calculateStepper(stepperDefaults(), ','); },
         {{1, "This motor outputs 768 microsteps / revolution of the motor rotor"},
          {2, "Calculated sidereal tracking speed with given data = 154,0205 microsteps/sec."},
          {3, "One microstep count = 0,097 arcsec"},
          {4, "Realistic motor resolution = 0,390 arcsec"},
          {6, "Slew speed for 1 degree/sec = 36864,0000 microsteps/sec"},
          {5, "Maximum slew or goto speed = 12000 microsteps/sec  or  0,3255 degree/sec"}}},
        {"focuser point",
         [] { return calc::calculateFocuser(focuserDefaults(), '.'); },
         {{1, "Number of counts to move the focuser 1 mm  =  4800.0000  q.e. counts  or  microsteps"}}},
        {"focuser comma",
         [] { return calc::calculateFocuser(focuserDefaults(), ','); },
         {{1, "Number of counts to move the focuser 1 mm  =  4800,0000  q.e. counts  or  microsteps"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome out = c.run();
        EXPECT_FALSE(out.fault.has_value());
        EXPECT_EQ(out.labels, c.expected);
    }
}

TEST(Calculators, DcMotorSpeedsRoundHalfToEven)
{
    struct Case {
        double rpm, reductor;
        const char* label1;
    };
    const Case cases[] = {
        {35, 30, "Full speed of the motor rotor at nominal voltage = 1050 RPM  or  18 revolutions/sec."}, // 17.5
        {33, 30, "Full speed of the motor rotor at nominal voltage = 990 RPM  or  16 revolutions/sec."},  // 16.5
        {0.5, 1, "Full speed of the motor rotor at nominal voltage = 0 RPM  or  0 revolutions/sec."},     // 0.5 RPM
        {1.5, 1, "Full speed of the motor rotor at nominal voltage = 2 RPM  or  0 revolutions/sec."},
        {-35, 30, "Full speed of the motor rotor at nominal voltage = -1050 RPM  or  -18 revolutions/sec."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label1);
        calc::DcInputs in = dcDefaults();
        in.rpm = c.rpm;
        in.reductor = c.reductor;
        const Outcome out = calc::calculateDc(in, '.');
        EXPECT_EQ(labelText(out, 1), c.label1);
    }
}

// A fault stops the calculation: the labels before the faulty step are
// produced, in order, and none after it.
TEST(Calculators, FaultStopsAtItsStepKeepingEarlierLabels)
{
    struct Case {
        const char* name;
        std::function<Outcome()> run;
        std::vector<int> written;
        Fault fault;
    };
    const auto dc = [](auto change) {
        return [change] {
            calc::DcInputs in = dcDefaults();
            change(in);
            return calc::calculateDc(in, '.');
        };
    };
    const auto stepper = [](auto change) {
        return [change] {
            calc::StepperInputs in = stepperDefaults();
            change(in);
            return calc::calculateStepper(in, '.');
        };
    };
    const auto focuser = [](auto change) {
        return [change] {
            calc::FocuserInputs in = focuserDefaults();
            change(in);
            return calc::calculateFocuser(in, '.');
        };
    };
    const Case cases[] = {
        {"dc worm advance zero", dc([](calc::DcInputs& in) { in.teethAdv = 0; }), {1, 2}, Fault::DivisionByZero},
        {"dc zero teeth over zero advance",
         dc([](calc::DcInputs& in) {
             in.teethNum = 0;
             in.teethAdv = 0;
         }),
         {1, 2},
         Fault::InvalidOperation},
        {"dc zero counts", dc([](calc::DcInputs& in) { in.counts = 0; }), {1, 2, 3}, Fault::DivisionByZero},
        {"dc zero gear ratio", dc([](calc::DcInputs& in) { in.gears = 0; }), {1, 2, 3}, Fault::DivisionByZero},
        {"dc motor speed overflows",
         dc([](calc::DcInputs& in) {
             in.rpm = 1e200;
             in.reductor = 1e200;
         }),
         {},
         Fault::Overflow},
        {"dc encoder speed overflows",
         dc([](calc::DcInputs& in) {
             in.rpm = 1e9;
             in.reductor = 60;
             in.counts = 1e300;
         }),
         {1},
         Fault::Overflow},
        {"dc axis ratio overflows",
         dc([](calc::DcInputs& in) {
             in.teethNum = 1e300;
             in.gears = 1e10;
         }),
         {1, 2},
         Fault::Overflow},
        {"dc count angle overflows", dc([](calc::DcInputs& in) { in.teethNum = 1e-308; }), {1, 2, 3}, Fault::Overflow},
        {"stepper worm advance zero",
         stepper([](calc::StepperInputs& in) { in.teethAdv = 0; }),
         {},
         Fault::DivisionByZero},
        {"stepper zero teeth over zero advance",
         stepper([](calc::StepperInputs& in) {
             in.teethNum = 0;
             in.teethAdv = 0;
         }),
         {},
         Fault::InvalidOperation},
        {"stepper zero full steps",
         stepper([](calc::StepperInputs& in) { in.fullSteps = 0; }),
         {1, 2},
         Fault::DivisionByZero},
        {"stepper zero reductor",
         stepper([](calc::StepperInputs& in) { in.reductor = 0; }),
         {1, 2},
         Fault::DivisionByZero},
        {"stepper negative microsteps",
         stepper([](calc::StepperInputs& in) { in.microSteps = -16; }),
         {1, 2, 3},
         Fault::InvalidOperation},
        {"stepper microsteps overflow",
         stepper([](calc::StepperInputs& in) {
             in.microSteps = 1e200;
             in.fullSteps = 1e200;
         }),
         {},
         Fault::Overflow},
        {"stepper degrees at maximum speed overflow",
         stepper([](calc::StepperInputs& in) {
             in.teethNum = 1e-300;
             in.maxSpeed = 1e20;
             in.maxSpeedText = "1e20";
         }),
         {1, 2, 3, 4, 6},
         Fault::Overflow},
        {"focuser product overflows",
         focuser([](calc::FocuserInputs& in) {
             in.turns = 1e200;
             in.counts = 1e200;
         }),
         {},
         Fault::Overflow},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome out = c.run();
        EXPECT_EQ(labelNumbers(out), c.written);
        ASSERT_TRUE(out.fault.has_value());
        EXPECT_EQ(*out.fault, c.fault);
    }
}

TEST(Calculators, FaultsHaveDistinctMessages)
{
    const std::string zero = calc::faultMessage(Fault::DivisionByZero);
    const std::string invalid = calc::faultMessage(Fault::InvalidOperation);
    const std::string overflow = calc::faultMessage(Fault::Overflow);
    EXPECT_NE(zero, invalid);
    EXPECT_NE(zero, overflow);
    EXPECT_NE(invalid, overflow);
    EXPECT_NE(zero.find("division by zero"), std::string::npos);
}

// The labels computed before a fault carry the figures of that moment.
TEST(Calculators, LabelsBeforeAFaultShowTheirFigures)
{
    calc::StepperInputs in = stepperDefaults();
    in.fullSteps = 0;
    const Outcome out = calc::calculateStepper(in, '.');
    EXPECT_EQ(labelText(out, 1), "This motor outputs 0 microsteps / revolution of the motor rotor");
    EXPECT_EQ(labelText(out, 2), "Calculated sidereal tracking speed with given data = 0.0000 microsteps/sec.");
}

TEST(Calculators, StepperRepeatsTheMaximumSpeedAsTyped)
{
    struct Case {
        const char* text;
        double value;
        char sep;
        const char* label5;
    };
    const Case cases[] = {
        {"12000", 12000, '.', "Maximum slew or goto speed = 12000 microsteps/sec  or  0.3255 degree/sec"},
        {"12000.0", 12000, '.', "Maximum slew or goto speed = 12000.0 microsteps/sec  or  0.3255 degree/sec"},
        {"1.2e4", 12000, '.', "Maximum slew or goto speed = 1.2e4 microsteps/sec  or  0.3255 degree/sec"},
        {" 6000,5", 6000.5, ',', "Maximum slew or goto speed =  6000,5 microsteps/sec  or  0,1628 degree/sec"},
        {"0", 0, '.', "Maximum slew or goto speed = 0 microsteps/sec  or  0.0000 degree/sec"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        calc::StepperInputs in = stepperDefaults();
        in.maxSpeed = c.value;
        in.maxSpeedText = c.text;
        const Outcome out = calc::calculateStepper(in, c.sep);
        EXPECT_FALSE(out.fault.has_value());
        EXPECT_EQ(labelText(out, 5), c.label5);
    }
}

TEST(Calculators, StepperMicrostepsUseTheGeneralFormat)
{
    struct Case {
        double microSteps, fullSteps;
        char sep;
        const char* label1;
    };
    const Case cases[] = {
        {0.5, 3, '.', "This motor outputs 1.5 microsteps / revolution of the motor rotor"},
        {0.5, 3, ',', "This motor outputs 1,5 microsteps / revolution of the motor rotor"},
        {256, 200, '.', "This motor outputs 51200 microsteps / revolution of the motor rotor"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label1);
        calc::StepperInputs in = stepperDefaults();
        in.microSteps = c.microSteps;
        in.fullSteps = c.fullSteps;
        EXPECT_EQ(labelText(calc::calculateStepper(in, c.sep), 1), c.label1);
    }
}

// No variable divisor: any zero factor gives zero counts, never "-0".
TEST(Calculators, FocuserZeroFactorGivesZero)
{
    struct Case {
        const char* name;
        calc::FocuserInputs in;
    };
    const Case cases[] = {
        {"turns", {.turns = 0, .reductor = 48, .gears = 2, .counts = 50}},
        {"reductor", {.turns = 10, .reductor = 0, .gears = 2, .counts = 50}},
        {"gears", {.turns = 10, .reductor = 48, .gears = 0, .counts = 50}},
        {"counts", {.turns = 10, .reductor = 48, .gears = 2, .counts = 0}},
        {"counts with negative turns", {.turns = -10, .reductor = 48, .gears = 2, .counts = 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome out = calc::calculateFocuser(c.in, '.');
        EXPECT_FALSE(out.fault.has_value());
        EXPECT_EQ(out.labels,
                  (Labels{{1, "Number of counts to move the focuser 1 mm  =  0.0000  q.e. counts  or  microsteps"}}));
    }
}

TEST(Calculators, FractionalAndNegativeInputsCarryThrough)
{
    calc::FocuserInputs focus = focuserDefaults();
    focus.gears = -1.5; // a reversing pulley
    EXPECT_EQ(labelText(calc::calculateFocuser(focus, ','), 1),
              "Number of counts to move the focuser 1 mm  =  -3600,0000  q.e. counts  or  microsteps");

    calc::DcInputs dc = dcDefaults();
    dc.teethAdv = 2; // a two-start worm halves the ratio
    const Outcome out = calc::calculateDc(dc, '.');
    EXPECT_EQ(labelText(out, 3), "Calculated sidereal tracking speed with given data = 20.0548 counts/sec.");
    EXPECT_EQ(labelText(out, 6), "Slew speed for 1 degree/sec = 4800.000 counts/sec");
    EXPECT_EQ(labelText(out, 5), "Suggested maximum slew or goto speed = 8960.000 counts/sec  or  1.867 degree/sec");
}

} // namespace
