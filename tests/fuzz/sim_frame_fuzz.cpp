// libFuzzer target: arbitrary bytes from the line into the bridge, in
// arbitrary pieces and at arbitrary times. Nothing may crash, and every
// reply must be "OK#" or a well-formed status reply.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "bridge.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    qvnsim::Options options;
    options.controllers = {0, 1, 15};
    options.motors = {qvnsim::MotorKind::Dc, qvnsim::MotorKind::Stepper, qvnsim::MotorKind::Dc};
    qvnsim::Bridge bridge(options, 0);
    double now = 0;
    std::size_t i = 0;
    std::string out;
    while (i < size) {
        // One byte chooses the piece length and the time step.
        const std::size_t piece = 1 + data[i] % 16;
        now += (data[i] >> 4) * 0.01;
        ++i;
        const std::size_t n = piece < size - i ? piece : size - i;
        out += bridge.receive(std::string_view(reinterpret_cast<const char*>(data + i), n), now);
        i += n;
    }
    out += bridge.advance(now + 1);
    // Replies are whole: each ends in "#", a status reply is 7 to 36 long.
    std::size_t start = 0;
    while (start < out.size()) {
        const std::size_t end = out.find('#', start);
        if (end == std::string::npos) std::abort();
        const std::string_view reply(out.data() + start, end - start + 1);
        if (reply != "OK#" && (reply.size() < 7 || reply.size() > 36)) std::abort();
        start = end + 1;
    }
    return 0;
}
