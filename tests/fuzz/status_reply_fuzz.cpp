// Any bytes as a status reply, against a small reader written here from the
// reply's description: 7 to 36 characters, the first of code 64 to 79, the
// last "#"; five header characters; the rest split at every "A", "B" and "C".
// The check, the parse and the panel texts must agree with it.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "controller/poll.h"
#include "protocol/wire.h"

namespace {

struct Reference {
    char address, motorType, state, internal, index;
    std::vector<std::string> fields;
};

std::optional<Reference> referenceRead(std::string_view r)
{
    if (r.size() < 7 || r.size() > 36) return std::nullopt;
    if (r[0] < '@' || r[0] > 'O' || r[r.size() - 1] != '#') return std::nullopt;
    Reference ref{r[0], r[1], r[2], r[3], r[4], {}};
    std::string field;
    for (char c : r.substr(5)) {
        if (c == 'A' || c == 'B' || c == 'C') {
            ref.fields.push_back(field);
            field.clear();
        } else {
            field += c;
        }
    }
    ref.fields.push_back(field);
    return ref;
}

// Only what is beyond doubt: up to nine plain digits are that number, and a
// character no integer can hold means no number.
std::optional<std::int64_t> plainDigits(const std::string& f)
{
    if (f.empty() || f.size() > 9) return std::nullopt;
    std::int64_t v = 0;
    for (char c : f) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + (c - '0');
    }
    return v;
}

bool surelyNoInteger(const std::string& f)
{
    for (char c : f) {
        const bool possible = c == ' ' || c == '+' || c == '-' || c == '$' || c == 'x' || c == 'X' ||
                              (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (!possible) return true;
    }
    return f.empty();
}

void check(bool ok)
{
    if (!ok) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // A copy of exactly `size` bytes, so that any read past the reply is seen.
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string_view reply(bytes);
    const std::optional<Reference> ref = referenceRead(reply);

    check(protocol::isStatusReply(reply) == ref.has_value());
    const auto parsed = protocol::parseStatusReply(reply);
    check(parsed.has_value() == ref.has_value());
    if (parsed) {
        check(parsed->address == ref->address && parsed->motorType == ref->motorType && parsed->state == ref->state &&
              parsed->internalState == static_cast<unsigned char>(ref->internal) && parsed->index == ref->index);
        check(parsed->fields.size() == ref->fields.size());
        for (std::size_t i = 0; i < ref->fields.size() && i < parsed->fields.size(); ++i)
            check(parsed->fields[i] == ref->fields[i]);
    }

    for (int reqPos : {0, 1}) {
        for (int refSyst : {0, 1}) {
            const auto shown = controller::readStatusReply(reply, reqPos, refSyst);
            check(shown.has_value() == ref.has_value());
            if (!shown) continue;
            const int code = static_cast<unsigned char>(ref->address);
            check(shown->i2cAddress == "I2C address: " + std::string(1, ref->address) + " = " + std::to_string(code));
            check(shown->motorType == (ref->motorType == '0' ? "Motor Type: DC with encoder" : "Motor Type: STEPPER"));
            check(shown->tracking == (ref->state == 'T') && shown->moving == (ref->state == 'M') &&
                  shown->errorHalt == (ref->state == 'E'));
            check(shown->internalState ==
                  "Internal State: (" + std::to_string(static_cast<unsigned char>(ref->internal)) + ")");
            check(shown->index == "Index = " + std::string(1, ref->index));

            const bool enough = ref->fields.size() >= 3;
            check(shown->enoughFields == enough);
            if (!enough) {
                check(!shown->converted && !shown->sidLabel && !shown->motLabel);
                continue;
            }
            check(shown->sidLabel == "Sidereal clock timestep =  " + ref->fields[0]);
            check(shown->motLabel ==
                  (reqPos == 0 ? "Motor position =           " : "Encoder position =         ") + ref->fields[1]);
            const auto sid = plainDigits(ref->fields[0]);
            const auto pos = plainDigits(ref->fields[1]);
            if (sid && pos) check(shown->converted && shown->sidTime == *sid && shown->posit == *pos);
            if (surelyNoInteger(ref->fields[0]) || surelyNoInteger(ref->fields[1])) check(!shown->converted);
            if (!shown->converted) continue;
            // The difference wraps around 32 bits, as the controller's counters do.
            const auto diff = static_cast<std::uint32_t>(static_cast<std::int64_t>(shown->sidTime) - shown->posit);
            check(static_cast<std::uint32_t>(shown->sidCoor) == diff);
            check(shown->coorLabel == (refSyst == 1 ? "Sidereal position =        " : "Difference =               ") +
                                          std::to_string(shown->sidCoor));
            check(shown->sensorLabel == "Sensor value = " + ref->fields[2]);
        }
    }
    return 0;
}
