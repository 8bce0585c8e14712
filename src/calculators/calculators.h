#pragma once
// The drive-train calculators of the DC, stepper and focuser pages, without
// widgets: the edit values in, the result label texts out, in the order the
// page writes them. A calculation that meets an arithmetic fault stops there;
// the labels it had already produced are still listed, so the page can write
// them before it reports the fault.

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace calc {

enum class Fault {
    DivisionByZero,   // a non-zero value divided by zero
    InvalidOperation, // 0 / 0, square root of a negative number
    Overflow,         // a result too large to represent
};

// Short text for the error box.
const char* faultMessage(Fault fault);

struct Outcome {
    // (label number, text) in writing order; numbers start at 1.
    std::vector<std::pair<int, std::string>> labels;
    // Set when the calculation stopped before its end.
    std::optional<Fault> fault;
};

// The letters are those of the page's formulas.
struct DcInputs {
    double teethNum = 0; // T
    double teethAdv = 0; // A
    double reductor = 0; // R
    double gears = 0;    // G
    double counts = 0;   // C
    double rpm = 0;      // N
};

struct StepperInputs {
    double teethNum = 0;   // T
    double teethAdv = 0;   // A
    double reductor = 0;   // R
    double gears = 0;      // G
    double fullSteps = 0;  // F
    double microSteps = 0; // U
    double maxSpeed = 0;   // X
    // The maximum speed as typed; label 5 repeats it unchanged.
    std::string maxSpeedText;
};

struct FocuserInputs {
    double turns = 0;    // W, turns of the shaft per 10 mm
    double reductor = 0; // R
    double gears = 0;    // G
    double counts = 0;   // C
};

// `decimalSep` is the user's decimal separator ('.' or ',').
Outcome calculateDc(const DcInputs& in, char decimalSep);
Outcome calculateStepper(const StepperInputs& in, char decimalSep);
Outcome calculateFocuser(const FocuserInputs& in, char decimalSep);

} // namespace calc
