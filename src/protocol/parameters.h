#pragma once
// The parameter commands of a controller: the complete set sent at
// activation and the twelve that can be retuned while it runs, built from
// one table so that both always send the same command for the same field.
// Pure: no Qt, usable by any program that drives a controller.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/record.h"

namespace protocol {

// The twelve uploadable parameters, in upload order.
enum class Param : std::uint8_t {
    Accel,
    Final,
    Sensor,
    PulseWidth, // CONTROL PROPERTIES
    KP,
    KI,
    ErrLim,
    IntLim,
    IntMaxSpeed, // PI CONTROL
    SidSpeed,
    TrackSpeed,
    GuideSpeed, // TRACKING
};
inline constexpr std::size_t kParamCount = 12;

enum class UploadGroup : std::uint8_t { ControlProperties, PIControl, Tracking };

// How an edit's text becomes the argument.
enum class ArgumentForm : std::uint8_t {
    EditText,    // integer rule; sent exactly as typed
    Thousandths, // decimal rule; sent as the thousandths of the value
};

struct ParameterRow {
    Param param;
    std::string_view letter;                    // command after "&"
    std::int32_t settings::TMYSETTINGS::*field; // record field sent at activation
    UploadGroup group;
    ArgumentForm form;
};

// The table, in upload order (indexed by Param).
const std::array<ParameterRow, kParamCount>& parameterTable();
const ParameterRow& parameterRow(Param p);

// The sixteen bodies of an activation, in the order the controller takes
// them: "&R", "&y" + polarity byte, the parameters of the record, "&C".
std::vector<std::string> activationBodies(const settings::TMYSETTINGS& s, char address);

// The body of a parameter whose argument is already an integer (a record
// field, or thousandths).
std::string parameterBody(Param p, char address, std::int32_t value);

// The argument an edit's text gives a parameter: the text itself for
// EditText, the thousandths for Thousandths. Nothing when the text fails the
// parameter's rule, or when its thousandths do not fit 32 bits.
struct Argument {
    std::string text;             // what follows the command letter
    double value = 0;             // the decimal value (Thousandths only)
    std::int32_t thousandths = 0; // (Thousandths only)
};
std::optional<Argument> parameterArgument(Param p, std::string_view editText, char decimalSep);

// One UPDATE click of a group: its flagged parameters in table order, each
// accepted (its flag is then cleared) or rejected (its flag stays). A
// rejected text does not stop the group. An accepted sidereal speed is
// always followed by the offset and guiding speeds, flagged or not.
struct UploadStep {
    Param param = Param::Accel;
    bool accepted = false;
    std::string body;  // when accepted
    Argument argument; // when accepted
};
std::vector<UploadStep> planUpload(UploadGroup group, const std::array<bool, kParamCount>& flags,
                                   const std::array<std::string, kParamCount>& texts, char address, char decimalSep);

} // namespace protocol
