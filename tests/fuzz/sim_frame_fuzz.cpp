// Arbitrary bytes from the line into the bridge, in arbitrary pieces and at
// arbitrary times, once on a clean line and once with every fault option on
// (chosen by the first bytes). The faults only act on the replies, so the
// models run the same in both. Every clean reply must be "OK#" or a
// well-formed status reply; the faulty line may drop, delay, split and garble
// them, but never add a byte.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "bridge.h"

namespace {

void check(bool ok)
{
    if (!ok) std::abort();
}

// A status reply as the tool reads it: the address of a controller on the
// bus, a motor digit, a state letter, then "A", "B" and "C" fields of digits
// (a sign allowed) and "#".
bool wellFormedStatus(std::string_view r)
{
    if (r.size() < 7 || r.size() > 36 || r.back() != '#') return false;
    const int index = static_cast<unsigned char>(r[0]) - 64;
    if (index != 0 && index != 1 && index != 15) return false;
    if (r[1] != '0' && r[1] != '1') return false;
    if (std::string_view("SFXMTGgWwUuE").find(r[2]) == std::string_view::npos) return false;
    std::size_t fields = 0;
    std::size_t digits = 0;
    for (std::size_t i = 5; i + 1 < r.size(); ++i) {
        const char c = r[i];
        if (c == 'A' || c == 'B' || c == 'C') {
            if (digits == 0) return false;
            ++fields;
            digits = 0;
        } else if ((c >= '0' && c <= '9') || (c == '-' && digits == 0)) {
            ++digits;
        } else {
            return false;
        }
    }
    return fields == 3 && digits == 0;
}

std::array<std::size_t, 256> histogram(const std::string& s)
{
    std::array<std::size_t, 256> h{};
    for (unsigned char c : s) ++h[c];
    return h;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 4) return 0;
    qvnsim::Options clean;
    clean.controllers = {0, 1, 15};
    clean.motors = {qvnsim::MotorKind::Dc, qvnsim::MotorKind::Stepper, qvnsim::MotorKind::Dc};
    // A halt is the controllers' own doing: both lines have it.
    clean.haltAfterS = data[0] & 1 ? (data[0] >> 1) * 0.002 : -1;
    clean.seed = data[3]; // the models' noise, the same on both lines

    qvnsim::Options faulty = clean;
    faulty.drop = (data[1] & 15) / 16.0;
    faulty.garble = (data[1] >> 4) / 16.0;
    faulty.delayMs = data[2] & 63;
    faulty.split = (data[2] & 64) != 0;
    faulty.vanishAfterS = data[3] & 1 ? (data[3] >> 1) * 0.002 : -1;

    qvnsim::Bridge a(clean, 0);
    qvnsim::Bridge b(faulty, 0);
    std::string outA, outB;
    double now = 0;
    std::size_t i = 4;
    while (i < size) {
        // One byte chooses the piece length and the time step (up to 15 ms:
        // the models' simulated time is what a run costs).
        const std::size_t piece = 1 + data[i] % 16;
        now += (data[i] >> 4) * 0.001;
        ++i;
        const std::size_t n = std::min(piece, size - i);
        const std::string_view bytes(reinterpret_cast<const char*>(data + i), n);
        outA += a.receive(bytes, now);
        outB += b.receive(bytes, now);
        check(b.pendingBytes() <= qvnsim::Bridge::kMaxPendingBytes);
        i += n;
    }
    // Past every delay and split gap.
    outA += a.advance(now + 0.1);
    outB += b.advance(now + 0.1);

    // The clean line: whole replies, each "OK#" or a status reply.
    std::size_t replies = 0;
    for (std::size_t start = 0; start < outA.size(); ++replies) {
        const std::size_t end = outA.find('#', start);
        check(end != std::string::npos);
        const std::string_view reply(outA.data() + start, end - start + 1);
        check(reply == "OK#" || wellFormedStatus(reply));
        start = end + 1;
    }

    // The faulty line only takes away; a garbled byte replaces one per reply.
    check(outB.size() <= outA.size());
    const auto ha = histogram(outA), hb = histogram(outB);
    std::size_t extra = 0;
    for (std::size_t c = 0; c < 256; ++c) extra += hb[c] > ha[c] ? hb[c] - ha[c] : 0;
    check(extra <= (faulty.garble > 0 ? replies : 0));
    const bool losesNothing =
        faulty.drop == 0 && faulty.vanishAfterS < 0 && outA.size() < qvnsim::Bridge::kMaxPendingBytes;
    if (losesNothing) check(outB.size() == outA.size());
    if (losesNothing && faulty.garble == 0) check(ha == hb);
    return 0;
}
