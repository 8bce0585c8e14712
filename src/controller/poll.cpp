#include "controller/poll.h"

#include <cstdint>

#include "protocol/wire.h"
#include "settings/numbers.h"

namespace controller {

PollTiming pollTiming(int reqFreqIdx)
{
    // Requests per second 2, 3, 4, 5, 6, 7, 8, 10 and the stored-only 12, 15.
    static constexpr PollTiming rows[] = {
        {483, 100, 150, 250}, {316, 100, 150, 250}, {233, 100, 150, 250}, {183, 100, 150, 250}, {150, 100, 150, 250},
        {126, 75, 120, 220},  {108, 60, 100, 200},  {83, 43, 85, 175},    {66, 33, 70, 150},    {50, 30, 60, 120},
    };
    if (reqFreqIdx < 0 || reqFreqIdx > 9) return rows[4];
    return rows[reqFreqIdx];
}

std::string_view stateText(char s)
{
    switch (s) {
    case 'S': return "STOPPED and LOCKED";
    case 'F': return "STOPPED and FREE";
    case 'X': return "RELEASED and FREE";
    case 'M': return "MOVING";
    case 'T': return "TRACKING";
    case 'G': return "GUIDING +";
    case 'g': return "GUIDING -";
    case 'W': return "LIMIT SW +";
    case 'w': return "LIMIT SW -";
    case 'U': return "SENSOR OVER TRESHOLD";
    case 'u': return "SENSOR BELOW TRESHOLD";
    case 'E': return "ERROR HALT";
    default: return "UNKNOWN";
    }
}

bool knownState(char s) { return stateText(s) != "UNKNOWN"; }

namespace {

// Plain decimal digits with an optional minus, fitting 32 bits. The integer
// rule of the edits also takes spaces and hexadecimal forms, which a garbled
// byte can produce ("1200" -> "x200", read as 512).
std::optional<std::int32_t> strictInteger(std::string_view t)
{
    const bool negative = !t.empty() && t.front() == '-';
    if (negative) t.remove_prefix(1);
    if (t.empty() || t.size() > 10) return std::nullopt;
    std::int64_t v = 0;
    for (char c : t) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + (c - '0');
    }
    if (negative) v = -v;
    if (v < INT32_MIN || v > INT32_MAX) return std::nullopt;
    return std::int32_t(v);
}

} // namespace

StrictReply readReplyStrictly(std::string_view reply, char address)
{
    StrictReply out;
    const std::optional<protocol::StatusReply> r = protocol::parseStatusReply(reply);
    if (!r) return out;
    out.state = r->state;
    out.motorType = r->motorType;
    if (r->address != address) {
        out.verdict = ReplyVerdict::WrongAddress;
        return out;
    }
    if (!knownState(r->state)) {
        out.verdict = ReplyVerdict::UnknownState;
        return out;
    }
    const std::optional<std::int32_t> sid = r->fields.size() >= 3 ? strictInteger(r->fields[0]) : std::nullopt;
    const std::optional<std::int32_t> pos = r->fields.size() >= 3 ? strictInteger(r->fields[1]) : std::nullopt;
    if (!sid || !pos) {
        out.verdict = ReplyVerdict::BadFields;
        return out;
    }
    out.verdict = ReplyVerdict::Accepted;
    out.sidTime = *sid;
    out.posit = *pos;
    return out;
}

std::optional<StatusDisplay> readStatusReply(std::string_view reply, int reqPos, int refSyst)
{
    std::optional<protocol::StatusReply> r = protocol::parseStatusReply(reply);
    if (!r) return std::nullopt;

    StatusDisplay d;
    const int code = static_cast<unsigned char>(r->address);
    d.i2cAddress = "I2C address: " + std::string(1, r->address) + " = " + std::to_string(code);
    const bool digit = r->motorType >= '0' && r->motorType <= '9';
    d.motorType = r->motorType == '0' ? "Motor Type: DC with encoder" : "Motor Type: STEPPER";
    // A motor-type character that is no digit is shown and taken as a stepper.
    d.motorTypeValue = digit ? r->motorType - '0' : 1;
    d.status = "Status: " + std::string(stateText(r->state));
    d.internalState = "Internal State: (" + std::to_string(r->internalState) + ")";
    d.index = "Index = " + std::string(1, r->index);
    d.tracking = r->state == 'T';
    d.moving = r->state == 'M';
    d.errorHalt = r->state == 'E';

    if (r->fields.size() < 3) return d;
    d.enoughFields = true;
    d.sidLabel = "Sidereal clock timestep =  " + std::string(r->fields[0]);
    d.motLabel =
        (reqPos == 0 ? "Motor position =           " : "Encoder position =         ") + std::string(r->fields[1]);
    std::optional<std::int32_t> sid = settings::parseInteger(r->fields[0]);
    std::optional<std::int32_t> pos = settings::parseInteger(r->fields[1]);
    if (!sid || !pos) return d;
    d.converted = true;
    d.sidTime = *sid;
    d.posit = *pos;
    d.sidCoor = static_cast<std::int32_t>(static_cast<std::uint32_t>(*sid) - static_cast<std::uint32_t>(*pos));
    d.coorLabel =
        (refSyst == 1 ? "Sidereal position =        " : "Difference =               ") + std::to_string(d.sidCoor);
    d.sensorLabel = "Sensor value = " + std::string(r->fields[2]);
    return d;
}

} // namespace controller
