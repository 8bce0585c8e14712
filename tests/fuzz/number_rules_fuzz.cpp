// Any text through the number rules, checked by round trips: whatever a rule
// accepts, formatted by each of the formats and read again, gives the value
// back within that format's precision.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "settings/numbers.h"

namespace {

// Read back a text the formats produced; it must be accepted.
double readBack(const std::string& text, char sep)
{
    const auto v = settings::parseDecimal(text, sep);
    if (!v) std::abort();
    return *v;
}

bool near(double got, double want, double tolerance) { return std::fabs(got - want) <= tolerance; }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    if (const auto i = settings::parseInteger(text)) {
        if (settings::parseInteger(settings::formatInteger(*i)) != i) std::abort();
    }

    for (const char sep : {'.', ','}) {
        const auto parsed = settings::parseDecimal(text, sep);
        if (parsed) {
            const double v = *parsed;
            if (!std::isfinite(v)) std::abort();
            // Near the largest double a rounded last digit no longer reads
            // back as a finite number; no value shown comes near it.
            if (std::fabs(v) < 1e300) {
                const double tiny = 1e-300;
                // general: 15 significant digits.
                if (!near(readBack(settings::formatGeneral(v, sep), sep), v, std::fabs(v) * 1e-14 + tiny)) std::abort();
                // fixed(d): 9 significant digits, then d decimals.
                for (int d = 0; d <= 6; ++d) {
                    const double tol = std::fabs(v) * 5.0001e-9 + 0.50001 * std::pow(10.0, -d) + tiny;
                    if (!near(readBack(settings::formatFixed(v, d, sep), sep), v, tol)) std::abort();
                }
                // rounded: the nearest integer, exact while it has 15 digits.
                const double r = settings::roundHalfEven(v);
                if (std::fabs(r - v) > 0.5) std::abort();
                const double back = readBack(settings::formatRounded(v, sep), sep);
                if (std::fabs(r) < 1e15 ? back != r : !near(back, r, std::fabs(r) * 1e-14)) std::abort();
            }
        }
        if (const auto t = settings::parseThousandths(text, sep)) {
            // The thousandfold value, rounded, of what the decimal rule reads.
            if (!parsed || std::fabs(*t - *parsed * 1000) > 0.5 + std::fabs(*parsed) * 1e-12) std::abort();
            const std::string shown = settings::formatThousandths(*t, sep);
            if (settings::parseThousandths(shown, sep) != t) std::abort();
        }
    }
    return 0;
}
