#include "protocol/wire.h"

namespace protocol {

std::string commandBody(char a, std::string_view letters, std::string_view argument)
{
    std::string s;
    s.reserve(2 + letters.size() + argument.size());
    s += a;
    s += '&';
    s += letters;
    s += argument;
    return s;
}

namespace {

std::string body(char a, std::string_view letters, std::string_view argument = {})
{
    return commandBody(a, letters, argument);
}

std::string body(char a, std::string_view letters, std::int32_t argument)
{
    return body(a, letters, std::to_string(argument));
}

constexpr std::size_t kMinReply = 7;
constexpr std::size_t kMaxReply = 36;
constexpr std::size_t kHeader = 5;

} // namespace

std::string frame(std::string_view b)
{
    std::string s;
    s.reserve(b.size() + 2);
    s += ':';
    s += b;
    s += '#';
    return s;
}

char addressChar(int index)
{
    // Only -1 (nothing chosen) is expected besides 0..15; anything else gets
    // the same harmless "?" that no controller answers to.
    if (index < 0 || index > 15) return '?';
    return static_cast<char>(64 + index);
}

std::string statusRequest(char address, bool encoder) { return frame(body(address, encoder ? "Q1" : "Q0")); }

int polarityByte(const settings::TMYSETTINGS& s)
{
    int b = 0;
    if (s.setting_limitSWP == 1) b |= 1;
    if (s.setting_limitSWM == 1) b |= 2;
    if (s.setting_enableVoltIdx == 0) b |= 4;
    if (s.setting_invertDir == 1) b |= 8;
    if (s.setting_freeAtStop == 1) b |= 16;
    if (s.setting_IndexEdgeIdx == 1) b |= 32;
    if (s.setting_resetOnIndex == 1) b |= 64;
    if (s.setting_sensorDetectPol == 1) b |= 128;
    return b;
}

namespace cmd {
std::string resetCounters(char a) { return body(a, "R"); }
std::string polarity(char a, int byte) { return body(a, "y", std::int32_t{byte}); }
std::string refSystem(char a, std::int32_t refSyst) { return body(a, "C", refSyst); }
std::string stopTracking(char a) { return body(a, "N"); }
std::string freeMotor(char a) { return body(a, "F"); }
std::string releaseController(char a) { return body(a, "Z"); }
std::string sensorThreshold(char a, std::int32_t v) { return body(a, "h", v); }
std::string sensorThreshold(char a, std::string_view t) { return body(a, "h", t); }
std::string moveSpeed(char a, std::int32_t v) { return body(a, "s", v); }
std::string moveSpeed(char a, std::string_view t) { return body(a, "s", t); }
std::string acceleration(char a, std::int32_t v) { return body(a, "a", v); }
std::string acceleration(char a, std::string_view t) { return body(a, "a", t); }
std::string finalApproach(char a, std::int32_t v) { return body(a, "f", v); }
std::string finalApproach(char a, std::string_view t) { return body(a, "f", t); }
std::string stepPulseWidth(char a, std::int32_t v) { return body(a, "u", v); }
std::string stepPulseWidth(char a, std::string_view t) { return body(a, "u", t); }
std::string kp(char a, std::int32_t v) { return body(a, "p", v); }
std::string kp(char a, std::string_view t) { return body(a, "p", t); }
std::string ki(char a, std::int32_t v) { return body(a, "i", v); }
std::string ki(char a, std::string_view t) { return body(a, "i", t); }
std::string errorLimit(char a, std::int32_t v) { return body(a, "e", v); }
std::string errorLimit(char a, std::string_view t) { return body(a, "e", t); }
std::string integralLimit(char a, std::int32_t v) { return body(a, "j", v); }
std::string integralLimit(char a, std::string_view t) { return body(a, "j", t); }
std::string integralMaxSpeed(char a, std::int32_t v) { return body(a, "k", v); }
std::string integralMaxSpeed(char a, std::string_view t) { return body(a, "k", t); }
std::string siderealSpeed(char a, std::int32_t thousandths) { return body(a, "r", thousandths); }
std::string offsetTrackSpeed(char a, std::int32_t thousandths) { return body(a, "t", thousandths); }
std::string offsetTrackSpeed(char a, std::string_view t) { return body(a, "t", t); }
std::string guideSpeed(char a, std::int32_t thousandths) { return body(a, "g", thousandths); }
std::string stopMotor(char a) { return body(a, "S"); }
std::string resetIndex(char a) { return body(a, "J"); }
std::string startTracking(char a) { return body(a, "T"); }
std::string moveContinuous(char a, std::string_view t) { return body(a, "M", t); }
std::string changeSlewSpeed(char a, std::string_view t) { return body(a, "w", t); }
std::string moveBy(char a, std::string_view t) { return body(a, "D", t); }
std::string goTo(char a, std::string_view t) { return body(a, "G", t); }
std::string pulseMinus(char a, std::string_view t) { return body(a, "P-", t); }
std::string pulsePlus(char a, std::string_view t) { return body(a, "P+", t); }
} // namespace cmd

bool isStatusReply(std::string_view reply)
{
    if (reply.size() < kMinReply || reply.size() > kMaxReply) return false;
    const auto first = static_cast<unsigned char>(reply.front());
    return first >= 64 && first <= 79 && reply.back() == '#';
}

std::vector<std::string_view> splitDataPart(std::string_view data)
{
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (std::size_t i = 0; i < data.size(); ++i) {
        const char c = data[i];
        if (c == 'A' || c == 'B' || c == 'C') {
            fields.push_back(data.substr(start, i - start));
            start = i + 1;
        }
    }
    fields.push_back(data.substr(start));
    return fields;
}

std::optional<StatusReply> parseStatusReply(std::string_view reply)
{
    if (!isStatusReply(reply)) return std::nullopt;
    StatusReply r;
    r.address = reply[0];
    r.motorType = reply[1];
    r.state = reply[2];
    r.internalState = static_cast<unsigned char>(reply[3]);
    r.index = reply[4];
    r.fields = splitDataPart(reply.substr(kHeader));
    return r;
}

} // namespace protocol
