#pragma once
// The wire format: frames, the address character, the command bodies, the
// polarity byte and the status reply. Pure functions, no I/O.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/record.h"

namespace protocol {

// ":" + body + "#".
std::string frame(std::string_view body);

// A command body: address character, "&", the command letters, the argument.
std::string commandBody(char address, std::string_view letters, std::string_view argument = {});

// The character of code 64 + index; "?" for -1 (no controller chosen).
char addressChar(int index);

// The body of the fixed connection check, answered by "OK#".
inline constexpr std::string_view kConnectionCheckBody = "@&Q0";
inline constexpr std::string_view kConnectionOk = "OK#";

// The raw status request ":" + address + "&Q0#" (motor) or "&Q1#" (encoder).
std::string statusRequest(char address, bool encoder);

// Polarity byte of "&y" from the eight polarity settings (0 to 255).
int polarityByte(const settings::TMYSETTINGS& s);

// Command bodies: address character, "&", letters, argument. The argument
// forms are an integer (decimal text), an edit text sent as it stands, or
// thousandths (already an integer).
namespace cmd {
std::string resetCounters(char a);                   // &R
std::string polarity(char a, int byte);              // &y
std::string refSystem(char a, std::int32_t refSyst); // &C
std::string stopTracking(char a);                    // &N
std::string freeMotor(char a);                       // &F
std::string releaseController(char a);               // &Z
std::string sensorThreshold(char a, std::int32_t v); // &h
std::string sensorThreshold(char a, std::string_view editText);
std::string moveSpeed(char a, std::int32_t v); // &s
std::string moveSpeed(char a, std::string_view editText);
std::string acceleration(char a, std::int32_t v); // &a
std::string acceleration(char a, std::string_view editText);
std::string finalApproach(char a, std::int32_t v); // &f
std::string finalApproach(char a, std::string_view editText);
std::string stepPulseWidth(char a, std::int32_t v); // &u
std::string stepPulseWidth(char a, std::string_view editText);
std::string kp(char a, std::int32_t v); // &p
std::string kp(char a, std::string_view editText);
std::string ki(char a, std::int32_t v); // &i
std::string ki(char a, std::string_view editText);
std::string errorLimit(char a, std::int32_t v); // &e
std::string errorLimit(char a, std::string_view editText);
std::string integralLimit(char a, std::int32_t v); // &j
std::string integralLimit(char a, std::string_view editText);
std::string integralMaxSpeed(char a, std::int32_t v); // &k
std::string integralMaxSpeed(char a, std::string_view editText);
std::string siderealSpeed(char a, std::int32_t thousandths);    // &r
std::string offsetTrackSpeed(char a, std::int32_t thousandths); // &t
std::string offsetTrackSpeed(char a, std::string_view thousandthsText);
std::string guideSpeed(char a, std::int32_t thousandths);       // &g
std::string stopMotor(char a);                                  // &S
std::string resetIndex(char a);                                 // &J
std::string startTracking(char a);                              // &T
std::string moveContinuous(char a, std::string_view editText);  // &M
std::string changeSlewSpeed(char a, std::string_view editText); // &w
std::string moveBy(char a, std::string_view editText);          // &D
std::string goTo(char a, std::string_view editText);            // &G
std::string pulseMinus(char a, std::string_view editText);      // &P-
std::string pulsePlus(char a, std::string_view editText);       // &P+
} // namespace cmd

// A status reply: 7 to 36 characters, the first of code 64 to 79, the last "#".
bool isStatusReply(std::string_view reply);

// The data part split at every "A", "B" and "C"; "#" is an ordinary
// character, empty fields are kept, the text after the last separator is the
// last field.
std::vector<std::string_view> splitDataPart(std::string_view data);

struct StatusReply {
    char address = 0;                     // "@" to "O"
    char motorType = 0;                   // "0" DC with encoder, other digits stepper
    char state = 0;                       // state letter
    unsigned char internalState = 0;      // code 0..255
    char index = 0;                       // shown unchanged
    std::vector<std::string_view> fields; // views into the reply text
};

// The header and the fields of a reply that passes isStatusReply; nothing
// otherwise. The views refer to `reply`, which must outlive the result.
std::optional<StatusReply> parseStatusReply(std::string_view reply);

} // namespace protocol
