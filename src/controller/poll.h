#pragma once
// The poll rate table and the reading of one status reply into the texts of
// the CONTROLLER STATUS panel. Pure: the window only applies the result.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace controller {

struct PollTiming {
    int interval1; // period of the poll timer, ms
    int delay100;  // pause after most commands and before each status read
    int delay150;  // pause after parameter commands
    int delay250;  // pause after the reset that starts a step or go-to test
};

// The row of the stored request-rate index; any index outside 0..9 (-1, no
// item selected, included) gets the row of 6 requests per second.
PollTiming pollTiming(int reqFreqIdx);

// "STOPPED and LOCKED", ..., "UNKNOWN".
std::string_view stateText(char stateLetter);

// What one status reply shows, in the order the panel is written.
struct StatusDisplay {
    // Header (set for every reply that passes the check).
    std::string i2cAddress;    // "I2C address: C = 67"
    std::string motorType;     // "Motor Type: DC with encoder" / "... STEPPER"
    int motorTypeValue = 0;    // the digit's value; 1 for a character that is no digit
    std::string status;        // "Status: TRACKING"
    std::string internalState; // "Internal State: (48)"
    std::string index;         // "Index = 1"
    bool tracking = false;     // state letter "T"
    bool moving = false;       // state letter "M"
    bool errorHalt = false;    // state letter "E"

    // Data part: whether it had three fields, then whether the first two
    // converted. Labels are set as far as they got.
    bool enoughFields = false;
    std::optional<std::string> sidLabel; // "Sidereal clock timestep =  1200"
    std::optional<std::string> motLabel; // "Motor position =           1150"
    bool converted = false;
    std::int32_t sidTime = 0;
    std::int32_t posit = 0;
    std::int32_t sidCoor = 0; // sidTime - position, wrapping
    std::string coorLabel;    // "Difference =               50"
    std::string sensorLabel;  // "Sensor value = 512"
};

// Nothing when the text is not a status reply (the panel keeps its values and
// LabelRX shows "Waiting 1").
std::optional<StatusDisplay> readStatusReply(std::string_view reply, int reqPos, int refSyst);

// The reading of a reply by a program that runs unattended: nobody sees a
// garbled sample, so a reply counts only when it comes from the polled
// controller, its state letter is one of the table and its first two fields
// are integers in plain decimal digits.
enum class ReplyVerdict : std::uint8_t {
    Accepted,
    NoReply,      // nothing, or no status reply at all ("RXFX")
    WrongAddress, // a status reply from another controller
    UnknownState, // a state letter outside the table
    BadFields,    // fewer than three fields, or the first two not integers
};
struct StrictReply {
    ReplyVerdict verdict = ReplyVerdict::NoReply;
    char state = 0;           // when a status reply
    char motorType = 0;       // when a status reply
    std::int32_t sidTime = 0; // when accepted
    std::int32_t posit = 0;   // when accepted
};
StrictReply readReplyStrictly(std::string_view reply, char address);

// Whether the letter is one of the state table's ("S", "F", "X", ..., "E").
bool knownState(char stateLetter);

} // namespace controller
