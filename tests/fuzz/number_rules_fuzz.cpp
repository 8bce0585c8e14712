// Any text through the number rules: no crash, and what is accepted as
// thousandths is shown again as a text that reads back to the same value.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "settings/numbers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    (void)settings::parseInteger(text);
    for (char sep : {'.', ','}) {
        if (auto v = settings::parseDecimal(text, sep)) {
            if (!std::isfinite(*v)) std::abort();
            (void)settings::formatFixed(*v, 4, sep);
            (void)settings::formatGeneral(*v, sep);
            (void)settings::formatRounded(*v, sep);
        }
        if (auto t = settings::parseThousandths(text, sep)) {
            const std::string shown = settings::formatThousandths(*t, sep);
            if (settings::parseThousandths(shown, sep) != t) std::abort();
        }
    }
    return 0;
}
