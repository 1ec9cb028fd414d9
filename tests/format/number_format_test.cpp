#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "format/number_format.h"
#include "platform/fake/test_locales.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

struct TFloatCase
{
    const char* name;
    const char* pattern;
    double value;
    const char* expected;
};

void CheckFloatCases(const std::vector<TFloatCase>& cases, const LocaleInfo& locale)
{
    for (const TFloatCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FormatFloat(c.pattern, c.value, locale), c.expected);
    }
}

TEST(NumberFormat, FixedRoundsTheExactValueHalfAwayFromZero)
{
    CheckFloatCases(
        {
            {"half up to whole", "%.0f", 12.5, "13"},
            {"half of an even number still goes up", "%.0f", 2.5, "3"},
            {"negative half goes away from zero", "%.0f", -2.5, "-3"},
            {"one half", "%.0f", 0.5, "1"},
            {"below half", "%.0f", 7.25, "7"},
            {"rounds up into a new digit", "%.0f", 9.6, "10"},
            {"exact eighth is a tie at two places", "%.2f", 0.125, "0.13"},
            {"another exact tie", "%.2f", 0.375, "0.38"},
            {"negative exact tie", "%.2f", -0.125, "-0.13"},
            {"exact value kept", "%.2f", 7.25, "7.25"},
            {"binary value below the written half", "%.2f", 9.995, "9.99"},
            {"1.005 is stored below the half", "%.2f", 1.005, "1.00"},
            {"2.675 is stored below the half", "%.2f", 2.675, "2.67"},
            {"0.115 is stored above the half", "%.2f", 0.115, "0.12"},
            {"carry through nines", "%.2f", 99.999, "100.00"},
            {"plain f means two places", "%f", 25, "25.00"},
            {"one place tie", "%.1f", 0.25, "0.3"},
            {"three places tie", "%.3f", 0.0625, "0.063"},
            {"tie near 2^52", "%.0f", 4503599627370495.5, "4503599627370496"},
            {"large whole number", "%.0f", 4294967296.0, "4294967296"},
        },
        platform::EnglishUsLocale());
}

TEST(NumberFormat, NoMinusSignOnZeroResults)
{
    CheckFloatCases(
        {
            {"negative zero", "%.0f", -0.0, "0"},
            {"negative zero two places", "%.2f", -0.0, "0.00"},
            {"rounds to zero", "%.0f", -0.4, "0"},
            {"rounds to zero two places", "%.2f", -0.004, "0.00"},
            {"rounds away from zero to a cent", "%.2f", -0.005, "-0.01"},
            {"general negative zero", "%g", -0.0, "0"},
            {"grouped negative zero", "%.0n", -0.2, "0"},
        },
        platform::EnglishUsLocale());
}

TEST(NumberFormat, GroupedUsesTheLocaleSeparators)
{
    CheckFloatCases(
        {
            {"two decimals", "%n", 12345.6, "12,345.60"},
            {"no decimals", "%.0n", 12345.6, "12,346"},
            {"millions", "%n", 1234567.891, "1,234,567.89"},
            {"three digits get no separator", "%.0n", 999, "999"},
            {"carry adds a group", "%n", 999.999, "1,000.00"},
            {"negative", "%.0n", -1234.5, "-1,235"},
            {"small", "%n", 0.5, "0.50"},
        },
        platform::EnglishUsLocale());
    CheckFloatCases(
        {
            {"German grouping", "%n", 1234567.5, "1.234.567,50"},
            {"German decimals", "%f", 0.125, "0,13"},
            {"German whole", "%.0f", 1234.5, "1235"},
        },
        platform::GermanLocale());
    CheckFloatCases(
        {
            {"narrow no-break space", "%n", 1234.5, "1\u202f234,50"},
            {"two groups", "%.0n", 1234567, "1\u202f234\u202f567"},
        },
        platform::FrenchLocale());
    LocaleInfo noGrouping = platform::EnglishUsLocale();
    noGrouping.ThousandSeparator.clear();
    EXPECT_EQ(FormatFloat("%n", 1234567.5, noGrouping), "1234567.50");
}

TEST(NumberFormat, GeneralIsTheShortestFormUpTo15Digits)
{
    CheckFloatCases(
        {
            {"one decimal", "%g", 114.8, "114.8"},
            {"whole number", "%g", 113, "113"},
            {"small whole number", "%g", 45, "45"},
            {"zero", "%g", 0, "0"},
            {"negative", "%g", -114.8, "-114.8"},
            {"tenth", "%g", 0.1, "0.1"},
            {"third", "%g", 1.0 / 3, "0.333333333333333"},
            {"two thirds rounds", "%g", 2.0 / 3, "0.666666666666667"},
            {"fahrenheit", "%g", 45 * 9.0 / 5 + 32, "113"},
            {"fifteen integer digits", "%g", 123456789012345.0, "123456789012345"},
            {"sixteen digits take an exponent", "%g", 1e15, "1E+15"},
            {"rounding reaches 10^15", "%g", 999999999999999.9, "1E+15"},
            {"large", "%g", 1.5e100, "1.5E+100"},
            {"smallest plain", "%g", 0.00001, "0.00001"},
            {"below 0.00001", "%g", 1.5e-6, "1.5E-6"},
            {"denormal", "%g", 5e-324, "4.94065645841247E-324"},
            {"exact tie at the 16th digit", "%g", 562949953421312.5, "562949953421313"},
            {"precision given", "%.3g", 3.14159, "3.14"},
        },
        platform::EnglishUsLocale());
    CheckFloatCases({{"locale decimal separator", "%g", 114.8, "114,8"},
                     {"exponent with separator", "%g", 2.5e-7, "2,5E-7"}},
                    platform::GermanLocale());
}

TEST(NumberFormat, OddInputsGiveText)
{
    const LocaleInfo en = platform::EnglishUsLocale();
    CheckFloatCases(
        {
            {"not a number", "%.2f", std::numeric_limits<double>::quiet_NaN(), "NAN"},
            {"infinity", "%n", std::numeric_limits<double>::infinity(), "INF"},
            {"minus infinity", "%g", -std::numeric_limits<double>::infinity(), "-INF"},
            {"unknown conversion reads as g", "%x", 114.8, "114.8"},
            {"no percent reads as g", "abc", 2.5, "2.5"},
            {"empty pattern reads as g", "", 45, "45"},
            {"trailing text reads as g", "%.2f ", 1.0, "1"},
            {"width pads with blanks", "%8.2f", 3.14159, "    3.14"},
            {"upper-case conversion", "%.1F", 0.25, "0.3"},
        },
        en);
    const std::string huge = FormatFloat("%.2f", 1e308, en);
    EXPECT_EQ(huge.size(), 309u + 3u);
    EXPECT_EQ(huge.substr(0, 20), "10000000000000000109");
    EXPECT_EQ(FormatFloat("%.0n", -1.7976931348623157e308, en).size(), 1u + 309u + 102u);
    EXPECT_EQ(FormatFloat("%.999f", 1.0, en).size(), 2u + 50u); // precision is capped
}

// Independent check: round the full exact expansion by hand and compare.
std::string ReferenceFixed(double value, int decimals)
{
    std::string exact(1200, '\0');
    const auto r = std::to_chars(exact.data(), exact.data() + exact.size(), std::fabs(value),
                                 std::chars_format::fixed, 1100);
    exact.resize(static_cast<std::size_t>(r.ptr - exact.data()));
    const std::size_t point = exact.find('.');
    std::string kept = exact.substr(0, point + (decimals > 0 ? 1 + decimals : 0));
    if (exact[point + 1 + decimals] >= '5') {
        int i = static_cast<int>(kept.size()) - 1;
        for (; i >= 0; --i) {
            if (kept[i] == '.')
                continue;
            if (kept[i] != '9') {
                ++kept[i];
                break;
            }
            kept[i] = '0';
        }
        if (i < 0)
            kept.insert(kept.begin(), '1');
    }
    const bool zero = kept.find_first_of("123456789") == std::string::npos;
    return (value < 0 && !zero ? "-" : "") + kept;
}

TEST(NumberFormat, FixedAgreesWithTheExactExpansionOnRandomValues)
{
    std::mt19937_64 random(20260101);
    std::uniform_real_distribution<double> wide(-1e6, 1e6);
    std::uniform_real_distribution<double> large(-1e17, 1e17);
    std::uniform_int_distribution<std::int64_t> whole(-1'000'000'000, 1'000'000'000);
    const LocaleInfo en = platform::EnglishUsLocale();
    for (int decimals : {0, 1, 2, 3, 4, 6}) {
        const std::string pattern = "%." + std::to_string(decimals) + "f";
        for (int i = 0; i < 1000; ++i) {
            double value = wide(random);
            if (i % 3 == 1) // ties at this precision: odd multiples of 2^-(decimals+1)
                value = std::ldexp(static_cast<double>(whole(random) | 1), -(decimals + 1));
            else if (i % 3 == 2)
                value = large(random);
            ASSERT_EQ(FormatFloat(pattern, value, en), ReferenceFixed(value, decimals))
                << "value " << value << " pattern " << pattern;
        }
    }
}

TEST(NumberFormat, Integers)
{
    struct TIntCase
    {
        const char* name;
        const char* pattern;
        std::int64_t value;
        const char* expected;
    };
    const std::vector<TIntCase> cases{
        {"zero", "%d", 0, "0"},
        {"plain", "%d", 42, "42"},
        {"negative", "%d", -7, "-7"},
        {"width pads with blanks", "%3d", 5, "  5"},
        {"width two", "%2d", 5, " 5"},
        {"width counts the sign", "%3d", -5, " -5"},
        {"longer than the width", "%3d", 1234, "1234"},
        {"zero padded", "%.2d", 5, "05"},
        {"zero padded longer", "%.2d", 123, "123"},
        {"zero padded negative", "%.2d", -5, "-05"},
        {"width and digits", "%5.3d", 7, "  007"},
        {"most negative", "%d", std::numeric_limits<std::int64_t>::min(), "-9223372036854775808"},
        {"unknown pattern reads as d", "%x", 12, "12"},
        {"no pattern", "", -3, "-3"},
    };
    for (const TIntCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FormatInt(c.pattern, c.value), c.expected);
    }
    EXPECT_EQ(FormatInt("%999999999d", 1).size(), 64u); // width is capped
}

} // namespace
} // namespace statlume
