#include "settings/numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <limits>

using namespace settings;

namespace {

struct IntCase {
    const char* text;
    std::optional<std::int32_t> value;
};

TEST(IntegerRule, TableOfCases)
{
    const IntCase cases[] = {
        {"3000", 3000},
        {"+3000", 3000},
        {" 3000", 3000},
        {"   -250", -250},
        {"$BB8", 3000},
        {"xBB8", 3000},
        {"XBB8", 3000},
        {"0xbb8", 3000},
        {"0XBB8", 3000},
        {"-$10", -16},
        {"$FFFFFFFF", -1}, // a 32-bit pattern
        {"$80000000", std::numeric_limits<std::int32_t>::min()},
        {"$7FFFFFFF", 2147483647},
        {"0007", 7},
        {"0", 0},
        {"2147483647", 2147483647},
        {"-2147483648", std::numeric_limits<std::int32_t>::min()},
        {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt},
        {"99999999999999999999", std::nullopt},
        {"$100000000", std::nullopt}, // nine hex digits
        {"3000 ", std::nullopt},      // nothing may follow the digits
        {"30.5", std::nullopt},
        {"3,000", std::nullopt},
        {"", std::nullopt},
        {" ", std::nullopt},
        {"+", std::nullopt},
        {"-", std::nullopt},
        {"$", std::nullopt},
        {"0x", std::nullopt},
        {"$G1", std::nullopt},
        {"+-3", std::nullopt},
        {"\t3", std::nullopt},
        {"abc", std::nullopt},
        {"1e3", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parseInteger(c.text), c.value) << '"' << c.text << '"';
    }
}

struct DecCase {
    std::string text;
    char sep;
    std::optional<double> value;
};

TEST(DecimalRule, TableOfCases)
{
    const DecCase cases[] = {
        {"15.041", '.', 15.041},
        {"15,041", ',', 15.041},
        {"15,041", '.', std::nullopt}, // the other separator fails
        {"15.041", ',', std::nullopt},
        {"  -0.5  ", '.', -0.5},
        {"+2", '.', 2.0},
        {".5", '.', 0.5},
        {"5.", '.', 5.0},
        {"1e3", '.', 1000.0},
        {"1.5E-2", '.', 0.015},
        {"2,5e+1", ',', 25.0},
        {"1e", '.', std::nullopt},
        {"1e+", '.', std::nullopt},
        {"1e400", '.', std::nullopt}, // not finite
        {"1e-400", '.', 0.0},
        {"0." + std::string(400, '0') + "1", '.', 0.0}, // 1e-401, written without "e-"
        {"-0.0000001e-320", '.', -0.0},
        {"0.0000000001e-320", '.', 0.0},
        {"123456e-330", '.', 0.0},
        {"1e308", '.', 1e308},
        {"1e309", '.', std::nullopt},
        {"0.001e312", '.', std::nullopt}, // 1e309 written small: still too large
        {"0.0001e313", '.', std::nullopt},
        {"1" + std::string(400, '0') + "e-10", '.', std::nullopt}, // 1e390, written with "e-"
        {"1e99999999999999999999", '.', std::nullopt},
        {"1e-99999999999999999999", '.', 0.0},
        {"1.2.3", '.', std::nullopt},
        {"1 000", '.', std::nullopt},
        {"", '.', std::nullopt},
        {".", '.', std::nullopt},
        {"-", '.', std::nullopt},
        {"abc", '.', std::nullopt},
        {"inf", '.', std::nullopt},
        {"nan", '.', std::nullopt},
        {"0x10", '.', std::nullopt},
        {"12x0", '.', std::nullopt},
    };
    for (const auto& c : cases) {
        auto v = parseDecimal(c.text, c.sep);
        ASSERT_EQ(v.has_value(), c.value.has_value()) << '"' << c.text << "\" sep " << c.sep;
        if (v) {
            EXPECT_DOUBLE_EQ(*v, *c.value) << c.text;
        }
    }
}

TEST(Rounding, HalvesGoToTheEvenNeighbour)
{
    const std::pair<double, double> cases[] = {
        {0.5, 0},   {1.5, 2},     {2.5, 2},   {-0.5, -0}, {-1.5, -2},  {-2.5, -2},
        {62.5, 62}, {187.5, 188}, {17.5, 18}, {16.5, 16}, {2.4999, 2}, {2.5001, 3},
    };
    for (auto [in, out] : cases) EXPECT_EQ(roundHalfEven(in), out) << in;
    EXPECT_EQ(roundToInt32(2147483647.4), 2147483647);
    EXPECT_EQ(roundToInt32(2147483647.6), std::nullopt);
    EXPECT_EQ(roundToInt32(-2147483648.4), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(roundToInt32(std::nan("")), std::nullopt);
}

TEST(Thousandths, FromText)
{
    const std::tuple<const char*, char, std::optional<std::int32_t>> cases[] = {
        {"15.0417", '.', 15042},
        {"15.0416", '.', 15042},
        {"0.0625", '.', 62},
        {"0.1875", '.', 188},
        {"40", '.', 40000},
        {"-0.5", '.', -500},
        {"0.0004", '.', 0},
        {"40,5", ',', 40500},
        {"40,5", '.', std::nullopt},
        {"2147483.647", '.', 2147483647},
        {"2147483.648", '.', std::nullopt}, // thousandfold beyond 32 bits
        {"-2147483.648", '.', std::numeric_limits<std::int32_t>::min()},
        {"1e10", '.', std::nullopt},
        {"", '.', std::nullopt},
    };
    for (const auto& [text, sep, expected] : cases) EXPECT_EQ(parseThousandths(text, sep), expected) << text;
}

TEST(Thousandths, Shown)
{
    const std::tuple<std::int32_t, char, const char*> cases[] = {
        {40000, '.', "40"},
        {15041, '.', "15.041"},
        {15041, ',', "15,041"},
        {-500, '.', "-0.5"},
        {0, '.', "0"},
        {1, '.', "0.001"},
        {-10, ',', "-0,01"},
        {12000000, '.', "12000"},
        {40500, '.', "40.5"},
        {std::numeric_limits<std::int32_t>::min(), '.', "-2147483.648"},
        {2147483647, '.', "2147483.647"},
    };
    for (const auto& [v, sep, text] : cases) EXPECT_EQ(formatThousandths(v, sep), text) << v;
}

TEST(Thousandths, EveryShownTextReadsBackToTheSameValue)
{
    for (std::int32_t v : {0, 1, -1, 999, 1000, 1001, -40500, 15041, 123456789, -2147483647})
        for (char sep : {'.', ','}) EXPECT_EQ(parseThousandths(formatThousandths(v, sep), sep), v) << v << sep;
}

TEST(FixedFormat, NineSignificantDigitsThenDecimals)
{
    const std::tuple<double, int, char, const char*> cases[] = {
        {11200.0, 3, '.', "11200.000"},
        {3456000.0 / 86164.0999, 4, '.', "40.1095"},
        {15.0 / (3456000.0 / 86164.0999), 3, '.', "0.374"},
        {8960.0, 3, ',', "8960,000"},
        {12000.0 / 36864.0, 4, '.', "0.3255"},
        {36864.0, 4, '.', "36864.0000"},
        {4800.0, 4, '.', "4800.0000"},
        {0.0, 4, '.', "0.0000"},
        {-1.25, 1, '.', "-1.2"},     // tie to even
        {-0.00001, 3, '.', "0.000"}, // no "-0.000"
        {0.0005, 3, '.', "0.000"},
        {0.0015, 3, '.', "0.002"},
        {0.9999, 3, '.', "1.000"},
        {9.9999999999, 2, '.', "10.00"},
        {123456789.123, 3, '.', "123456789.000"}, // only 9 digits are kept
        {12345.6789012, 0, '.', "12346"},
        {1234567890.0, 2, '.', "1.23456789E+9"}, // more than 9 integer digits
    };
    for (const auto& [v, d, sep, text] : cases) EXPECT_EQ(formatFixed(v, d, sep), text) << v;
}

TEST(GeneralFormat, FifteenSignificantDigits)
{
    const std::tuple<double, char, const char*> cases[] = {
        {768.0, '.', "768"},
        {0.5, ',', "0,5"},
        {-2.25, '.', "-2.25"},
        {0.0, '.', "0"},
        {0.1 + 0.2, '.', "0.3"},
        {0.0001, '.', "0.0001"},
        {0.00001, '.', "1E-5"},
        {123456789012345.0, '.', "123456789012345"},
        {1e15, '.', "1E+15"},
        {1.5e20, ',', "1,5E+20"},
        {1.0 / 3.0, '.', "0.333333333333333"},
    };
    for (const auto& [v, sep, text] : cases) EXPECT_EQ(formatGeneral(v, sep), text) << v;
}

TEST(IntegerFormats, PlainAndRounded)
{
    EXPECT_EQ(formatInteger(-250), "-250");
    EXPECT_EQ(formatInteger(0), "0");
    const std::tuple<double, char, const char*> cases[] = {
        {10500.0, '.', "10500"}, {17.5, '.', "18"},          {16.5, '.', "16"},
        {-0.4, '.', "0"},        {-2.5, '.', "-2"},          {999999999999999.0, '.', "999999999999999"},
        {1e15, '.', "1E+15"},    {1.5e300, ',', "1,5E+300"},
    };
    for (const auto& [v, sep, text] : cases) EXPECT_EQ(formatRounded(v, sep), text) << v;
}

} // namespace
