#pragma once
// Number rules and formats shared by the settings binding, the command
// arguments and the calculators. Pure functions: the decimal separator of the
// user's locale is passed in, so the same text reads the same in every test.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace settings {

// Integer rule: optional leading spaces, optional sign, then decimal digits or
// a hexadecimal number after "$", "x", "X", "0x" or "0X" (at most eight hex
// digits, read as a 32-bit pattern). Nothing may follow the digits. A decimal
// value must fit a signed 32-bit integer.
std::optional<std::int32_t> parseInteger(std::string_view text);

// Decimal rule: optional leading spaces, optional sign, digits with at most one
// `decimalSep` (the other separator fails), optional exponent, optional
// trailing spaces, finite value. No thousands separators.
std::optional<double> parseDecimal(std::string_view text, char decimalSep);

// Nearest integer, an exact half to the even neighbour.
double roundHalfEven(double v);

// roundHalfEven(v) when it fits a signed 32-bit integer.
std::optional<std::int32_t> roundToInt32(double v);

// Text to thousandths: the decimal rule, times 1000, rounded half to even;
// refused when the thousandfold does not fit 32 bits.
std::optional<std::int32_t> parseThousandths(std::string_view text, char decimalSep);

// The value a thousandths field stands for (15042 is 15.042).
double fromThousandths(std::int32_t thousandths);

// Thousandths shown: value / 1000 with as many decimals as needed (at most
// three), no trailing zeros, no separator when whole, leading "-" if negative.
std::string formatThousandths(std::int32_t thousandths, char decimalSep);

// Plain decimal integer, "-" for negatives.
std::string formatInteger(std::int64_t v);

// Calculators' integer format: rounded half to even, then plain decimal; from
// 15 digits on in the general format's scientific notation.
std::string formatRounded(double v, char decimalSep);

// fixed(d): rounded to 9 significant digits, then exactly d decimals.
// An integer part of more than 9 digits switches to scientific notation.
std::string formatFixed(double v, int decimals, char decimalSep);

// general: 15 significant digits, trailing zeros dropped; plain notation for
// magnitudes from 0.0001 with at most 15 integer digits, scientific otherwise.
std::string formatGeneral(double v, char decimalSep);

} // namespace settings
