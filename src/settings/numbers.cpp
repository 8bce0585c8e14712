#include "settings/numbers.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace settings {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

int hexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::size_t skipSpaces(std::string_view t, std::size_t i)
{
    while (i < t.size() && t[i] == ' ') ++i;
    return i;
}

// Decimal digits as (sign, significand digits without leading zeros,
// exponent of the first digit): v = 0.d1d2d3... x 10^exp10.
struct Digits {
    bool negative = false;
    std::string digits;
    int exp10 = 0; // position of the decimal point after the first digit
};

// Exactly `sig` significant digits of a finite non-zero value, as decimal.
Digits significantDigits(double v, int sig)
{
    Digits d;
    d.negative = std::signbit(v);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*e", sig - 1, std::fabs(v));
    // buf: "d.ddddde[+-]xx"
    std::string_view s(buf);
    std::size_t e = s.find('e');
    for (std::size_t i = 0; i < e; ++i)
        if (isDigit(s[i])) d.digits.push_back(s[i]);
    int ex = 0;
    std::from_chars(s.data() + e + 1 + (s[e + 1] == '+' ? 1 : 0), s.data() + s.size(), ex);
    d.exp10 = ex + 1;
    return d;
}

std::string scientific(const Digits& d, char sep)
{
    std::string m = d.digits;
    while (m.size() > 1 && m.back() == '0') m.pop_back();
    std::string out = d.negative ? "-" : "";
    out += m[0];
    if (m.size() > 1) {
        out += sep;
        out.append(m, 1, std::string::npos);
    }
    out += 'E';
    int ex = d.exp10 - 1;
    out += ex < 0 ? '-' : '+';
    out += std::to_string(ex < 0 ? -ex : ex);
    return out;
}

// Power of ten of the leading non-zero digit of a number in C notation
// ("-12.5e-3" gives -2), the exponent saturated so it cannot overflow. Only
// asked of values that did not fit a double, so never of zero.
long long decimalMagnitude(std::string_view normal)
{
    std::size_t i = normal[0] == '-' ? 1 : 0;
    long long magnitude = 0;
    bool seenPoint = false;
    bool seenDigit = false;
    for (; i < normal.size() && normal[i] != 'e'; ++i) {
        if (normal[i] == '.') {
            seenPoint = true;
        } else if (!seenDigit && normal[i] == '0') {
            if (seenPoint) --magnitude;
        } else if (!seenDigit) {
            seenDigit = true;
            if (seenPoint) --magnitude;
        } else if (!seenPoint) {
            ++magnitude;
        }
    }
    long long exponent = 0;
    if (i < normal.size()) {
        ++i;
        const bool negative = i < normal.size() && normal[i] == '-';
        if (negative) ++i;
        for (; i < normal.size(); ++i) {
            if (exponent < 1000000000) exponent = exponent * 10 + (normal[i] - '0');
        }
        if (negative) exponent = -exponent;
    }
    return magnitude + exponent;
}

} // namespace

std::optional<std::int32_t> parseInteger(std::string_view t)
{
    std::size_t i = skipSpaces(t, 0);
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
        negative = t[i] == '-';
        ++i;
    }
    bool hex = false;
    if (i < t.size() && (t[i] == '$' || t[i] == 'x' || t[i] == 'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < t.size() && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i >= t.size()) return std::nullopt;

    if (hex) {
        std::uint32_t pattern = 0;
        std::size_t n = 0;
        for (; i < t.size(); ++i, ++n) {
            int h = hexValue(t[i]);
            if (h < 0 || n >= 8) return std::nullopt;
            pattern = (pattern << 4) | static_cast<std::uint32_t>(h);
        }
        // A 32-bit pattern: $FFFFFFFF is -1; the sign negates it, wrapping.
        std::uint32_t value = negative ? 0u - pattern : pattern;
        return static_cast<std::int32_t>(value);
    }

    std::int64_t value = 0;
    for (; i < t.size(); ++i) {
        if (!isDigit(t[i])) return std::nullopt;
        value = value * 10 + (t[i] - '0');
        if (value > std::int64_t{1} << 31) return std::nullopt;
    }
    if (negative) value = -value;
    if (value > std::numeric_limits<std::int32_t>::max() || value < std::numeric_limits<std::int32_t>::min())
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::optional<double> parseDecimal(std::string_view t, char decimalSep)
{
    std::size_t i = skipSpaces(t, 0);
    std::string normal; // the number in C notation, for from_chars
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
        if (t[i] == '-') normal += '-';
        ++i;
    }
    std::size_t mantissaDigits = 0;
    bool seenSep = false;
    for (; i < t.size(); ++i) {
        char c = t[i];
        if (isDigit(c)) {
            normal += c;
            ++mantissaDigits;
        } else if (c == decimalSep && !seenSep) {
            seenSep = true;
            normal += '.';
        } else {
            break;
        }
    }
    if (mantissaDigits == 0) return std::nullopt;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        normal += 'e';
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
            if (t[i] == '-') normal += '-';
            ++i;
        }
        std::size_t expDigits = 0;
        for (; i < t.size() && isDigit(t[i]); ++i, ++expDigits) normal += t[i];
        if (expDigits == 0) return std::nullopt;
    }
    if (skipSpaces(t, i) != t.size()) return std::nullopt;

    double v = 0;
    const char* first = normal.data();
    // from_chars takes no leading '+' but does take '-'.
    auto [ptr, ec] = std::from_chars(first, first + normal.size(), v);
    if (ptr != first + normal.size()) return std::nullopt;
    if (ec == std::errc::result_out_of_range) {
        // Underflow reads as zero; overflow is not finite. Which one it was is
        // decided by the value's decimal magnitude, not by how it was written.
        if (decimalMagnitude(normal) >= 0) return std::nullopt;
        return normal[0] == '-' ? -0.0 : 0.0;
    }
    if (ec != std::errc() || !std::isfinite(v)) return std::nullopt;
    return v;
}

double roundHalfEven(double v)
{
    // The default rounding mode rounds to nearest with ties to even.
    return std::nearbyint(v);
}

std::optional<std::int32_t> roundToInt32(double v)
{
    if (!std::isfinite(v)) return std::nullopt;
    double r = roundHalfEven(v);
    if (r < -2147483648.0 || r > 2147483647.0) return std::nullopt;
    return static_cast<std::int32_t>(r);
}

std::optional<std::int32_t> parseThousandths(std::string_view text, char decimalSep)
{
    std::optional<double> v = parseDecimal(text, decimalSep);
    if (!v) return std::nullopt;
    return roundToInt32(*v * 1000.0);
}

double fromThousandths(std::int32_t thousandths) { return thousandths / 1000.0; }

std::string formatThousandths(std::int32_t thousandths, char decimalSep)
{
    std::int64_t v = thousandths;
    bool negative = v < 0;
    if (negative) v = -v;
    std::string out = negative ? "-" : "";
    out += std::to_string(v / 1000);
    int frac = static_cast<int>(v % 1000);
    if (frac != 0) {
        char buf[4];
        std::snprintf(buf, sizeof buf, "%03d", frac);
        std::string f(buf);
        while (f.back() == '0') f.pop_back();
        out += decimalSep;
        out += f;
    }
    return out;
}

std::string formatInteger(std::int64_t v) { return std::to_string(v); }

std::string formatRounded(double v, char decimalSep)
{
    double r = roundHalfEven(v);
    if (std::fabs(r) < 1e15) return std::to_string(static_cast<std::int64_t>(r));
    return formatGeneral(r, decimalSep);
}

std::string formatFixed(double v, int decimals, char decimalSep)
{
    if (!std::isfinite(v)) return std::isnan(v) ? "NAN" : (v < 0 ? "-INF" : "INF");
    if (decimals < 0) decimals = 0;
    if (v == 0) {
        std::string z = "0";
        if (decimals > 0) z += decimalSep + std::string(static_cast<std::size_t>(decimals), '0');
        return z;
    }
    Digits d = significantDigits(v, 9);
    if (d.exp10 > 9) return scientific(d, decimalSep);

    // Digits d1..d9 stand at decimal positions exp10-1 .. exp10-9. Keep those
    // down to position -decimals, rounding the rest half to even, in decimal.
    int keep = d.exp10 + decimals; // number of digits kept
    std::string kept;
    if (keep <= 0) {
        // Everything is below the last decimal kept: 0 or one unit of it.
        bool roundUp = false;
        if (keep == 0) {
            // First dropped digit is d1, at the position just below.
            char first = d.digits[0];
            bool rest = d.digits.find_first_not_of('0', 1) != std::string::npos;
            roundUp = first > '5' || (first == '5' && rest);
        }
        kept = roundUp ? "1" : "0";
        d.exp10 = 1 - decimals;
        d.digits = kept;
    } else if (keep < static_cast<int>(d.digits.size())) {
        kept = d.digits.substr(0, static_cast<std::size_t>(keep));
        char first = d.digits[static_cast<std::size_t>(keep)];
        bool rest = d.digits.find_first_not_of('0', static_cast<std::size_t>(keep) + 1) != std::string::npos;
        bool odd = (kept.back() - '0') % 2 == 1;
        bool roundUp = first > '5' || (first == '5' && (rest || odd));
        if (roundUp) {
            int k = static_cast<int>(kept.size()) - 1;
            while (k >= 0 && kept[static_cast<std::size_t>(k)] == '9') kept[static_cast<std::size_t>(k--)] = '0';
            if (k < 0) {
                kept.insert(kept.begin(), '1');
                ++d.exp10;
            } else {
                ++kept[static_cast<std::size_t>(k)];
            }
        }
        d.digits = kept;
    }
    // Lay the digits out: integer part, then exactly `decimals` decimals.
    std::string intPart, fracPart;
    for (int pos = d.exp10 - 1; pos >= -decimals; --pos) {
        int idx = d.exp10 - 1 - pos;
        char c = (idx >= 0 && idx < static_cast<int>(d.digits.size())) ? d.digits[static_cast<std::size_t>(idx)] : '0';
        (pos >= 0 ? intPart : fracPart) += c;
    }
    std::size_t nz = intPart.find_first_not_of('0');
    intPart = nz == std::string::npos ? "0" : intPart.substr(nz);
    bool allZero = intPart == "0" && fracPart.find_first_not_of('0') == std::string::npos;
    std::string out = (d.negative && !allZero) ? "-" : "";
    out += intPart;
    if (decimals > 0) {
        while (static_cast<int>(fracPart.size()) < decimals) fracPart.insert(fracPart.begin(), '0');
        out += decimalSep;
        out += fracPart;
    }
    return out;
}

std::string formatGeneral(double v, char decimalSep)
{
    if (!std::isfinite(v)) return std::isnan(v) ? "NAN" : (v < 0 ? "-INF" : "INF");
    if (v == 0) return "0";
    Digits d = significantDigits(v, 15);
    if (std::fabs(v) < 0.0001 || d.exp10 > 15) return scientific(d, decimalSep);
    std::string m = d.digits;
    while (m.size() > 1 && m.back() == '0') m.pop_back();
    std::string out = d.negative ? "-" : "";
    if (d.exp10 <= 0) {
        out += '0';
        out += decimalSep;
        out += std::string(static_cast<std::size_t>(-d.exp10), '0');
        out += m;
        return out;
    }
    std::size_t ip = static_cast<std::size_t>(d.exp10);
    if (m.size() <= ip) {
        out += m + std::string(ip - m.size(), '0');
    } else {
        out += m.substr(0, ip);
        out += decimalSep;
        out += m.substr(ip);
    }
    return out;
}

} // namespace settings
