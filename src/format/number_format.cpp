#include "format/number_format.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <limits>
#include <optional>

namespace statlume {
namespace {

// Width and precision beyond these serve no display and would only cost memory.
constexpr int MaxWidth = 64;
constexpr int MaxFixedPrecision = 50;
constexpr int MaxSignificantDigits = 17;
constexpr int DefaultFixedPrecision = 2;
constexpr int DefaultSignificantDigits = 15;

struct TNumberPattern
{
    char Conversion = 'g';
    int Width = 0;
    /// -1 when the pattern gives none.
    int Precision = -1;
};

char ToLowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

/// Reads "%[width][.precision]conv" with nothing around it; nullopt when the text is not so.
std::optional<TNumberPattern> ParsePattern(std::string_view pattern)
{
    if (pattern.size() < 2 || pattern.front() != '%')
        return std::nullopt;
    TNumberPattern result;
    std::size_t i = 1;
    auto readNumber = [&](int& target) {
        int n = 0;
        while (i < pattern.size() && pattern[i] >= '0' && pattern[i] <= '9') {
            n = std::min(n * 10 + (pattern[i] - '0'), 1000);
            ++i;
        }
        target = n;
    };
    readNumber(result.Width);
    result.Width = std::min(result.Width, MaxWidth);
    if (i < pattern.size() && pattern[i] == '.') {
        ++i;
        readNumber(result.Precision);
    }
    if (i + 1 != pattern.size())
        return std::nullopt;
    result.Conversion = ToLowerAscii(pattern[i]);
    return result;
}

std::size_t CountCodePoints(std::string_view text)
{
    std::size_t n = 0;
    for (char c : text)
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

std::string PadLeft(std::string text, int width)
{
    const std::size_t have = CountCodePoints(text);
    const auto want = static_cast<std::size_t>(width);
    if (have < want)
        text.insert(0, want - have, ' ');
    return text;
}

/// True when |value| lies exactly halfway between two multiples of 10^-decimals, that is
/// when 2 * value * 10^decimals is an odd integer. Negative decimals count whole tens.
bool IsExactHalf(double magnitude, int decimals)
{
    if (decimals >= 0) {
        // value * 2^(d+1) * 5^d is odd only when value * 2^(d+1) is an odd integer.
        const double scaled = std::ldexp(magnitude, decimals + 1);
        return scaled == std::floor(scaled) && std::fmod(scaled, 2.0) == 1.0;
    }
    // value = odd * 2^(j-1) with 5^j dividing the odd factor; beyond 5^22 no double qualifies.
    const int j = -decimals;
    if (j > 22)
        return false;
    const double odd = std::ldexp(magnitude, -(j - 1));
    return odd == std::floor(odd) && std::fmod(odd, 2.0) == 1.0 &&
           std::fmod(odd, std::pow(5.0, j)) == 0.0;
}

/// Adds one unit in the last digit of an ASCII digit string that may hold a '.'; returns
/// true when the carry ran out of the first digit (a "1" was put in front).
bool IncrementDigits(char* first, char* last)
{
    for (char* p = last; p != first;) {
        --p;
        if (*p == '.')
            continue;
        if (*p != '9') {
            ++*p;
            return false;
        }
        *p = '0';
    }
    return true;
}

bool IsAllZero(std::string_view digits)
{
    for (char c : digits)
        if (c >= '1' && c <= '9')
            return false;
    return true;
}

void AppendGrouped(std::string& out, std::string_view integerDigits, const std::string& separator)
{
    if (separator.empty()) {
        out += integerDigits;
        return;
    }
    const std::size_t n = integerDigits.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (i != 0 && (n - i) % 3 == 0)
            out += separator;
        out += integerDigits[i];
    }
}

std::string NonFiniteText(double value)
{
    if (std::isnan(value))
        return "NAN";
    return value < 0 ? "-INF" : "INF";
}

/// Rounds small values in integer arithmetic: the value is mantissa * 2^-shift exactly, so
/// mantissa * 10^decimals shifted right, plus one when the bits shifted out make at least a
/// half, is the rounded result. Returns nullptr when the value is too large for this.
char* SmallFixedDigits(double magnitude, int decimals, char* out, char* outEnd)
{
    constexpr std::array<std::uint64_t, 4> powersOfTen{1, 10, 100, 1000};
    if (decimals > 3 || !(magnitude < 0x1p53))
        return nullptr;
    int exponent = 0;
    const double fraction = std::frexp(magnitude, &exponent);
    const auto mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
    const int shift = 53 - exponent;
    const std::uint64_t scaled = mantissa * powersOfTen[static_cast<std::size_t>(decimals)];
    std::uint64_t rounded = 0;
    if (shift == 0) {
        rounded = scaled;
    } else if (shift < 64) {
        rounded = scaled >> shift;
        const std::uint64_t rest = scaled & ((std::uint64_t{1} << shift) - 1);
        rounded += rest >= (std::uint64_t{1} << (shift - 1));
    }
    std::array<char, 24> digits{};
    char* const digitsEnd =
        std::to_chars(digits.data(), digits.data() + digits.size(), rounded).ptr;
    const auto count = static_cast<int>(digitsEnd - digits.data());
    const int integerDigits = std::max(count - decimals, 1);
    const int zeros = integerDigits + decimals - count;
    if (outEnd - out < integerDigits + decimals + 1)
        return nullptr;
    char* p = std::fill_n(out, zeros, '0');
    p = std::copy(digits.data(), digitsEnd, p);
    if (decimals > 0) {
        std::copy_backward(p - decimals, p, p + 1);
        *(p - decimals) = '.';
        ++p;
    }
    return p;
}

/// Fixed-point text with `decimals` places; thousands separators when `grouped`.
std::string FormatFixed(double value, int decimals, bool grouped, const LocaleInfo& locale)
{
    const double magnitude = std::fabs(value);
    // Largest case: 309 integer digits, a point and the decimals, plus one carry digit.
    std::array<char, 1 + 310 + 1 + MaxFixedPrecision + 2> buffer{};
    char* const digits = buffer.data() + 1;
    char* const bufferEnd = buffer.data() + buffer.size();
    std::to_chars_result written{};
    char* first = digits;
    if (char* end = SmallFixedDigits(magnitude, decimals, digits, bufferEnd)) {
        written.ptr = end;
    } else if (IsExactHalf(magnitude, decimals)) {
        // The exact expansion ends in this 5, so one more place prints it exactly; the
        // library would round the tie to even, but a half goes away from zero here.
        written =
            std::to_chars(digits, bufferEnd, magnitude, std::chars_format::fixed, decimals + 1);
        --written.ptr;
        if (decimals == 0)
            --written.ptr; // the point before the dropped digit
        if (IncrementDigits(digits, written.ptr)) {
            first = buffer.data();
            *first = '1';
        }
    } else {
        written = std::to_chars(digits, bufferEnd, magnitude, std::chars_format::fixed, decimals);
    }
    const std::string_view text(first, static_cast<std::size_t>(written.ptr - first));
    const std::size_t point = text.find('.');
    const std::string_view integerPart = text.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view{} : text.substr(point + 1);

    std::string out;
    out.reserve(text.size() + text.size() / 3 + 8);
    if (value < 0 && !IsAllZero(text))
        out += '-';
    if (grouped)
        AppendGrouped(out, integerPart, locale.ThousandSeparator);
    else
        out += integerPart;
    if (!fraction.empty()) {
        out += locale.DecimalSeparator;
        out += fraction;
    }
    return out;
}

/// The decimal exponent of a to_chars scientific text; `end` is moved back to the 'e'.
int SplitExponent(const char*& end)
{
    const char* e = end;
    while (*--e != 'e') {
    }
    int exponent = 0;
    std::from_chars(e + 1 + (e[1] == '+'), end, exponent);
    end = e;
    return exponent;
}

/// Up to `precision` significant digits without trailing zeros; exponent form only for
/// numbers below 0.00001 or with more integer digits than the precision.
std::string FormatGeneral(double value, int precision, const LocaleInfo& locale)
{
    if (value == 0)
        return "0";
    const double magnitude = std::fabs(value);
    std::array<char, 48> buffer{};
    char* const bufferEnd = buffer.data() + buffer.size();
    // The shortest text that reads back as the value is the rounded one whenever it has
    // no more digits than asked for: for normal numbers and up to 15 digits, half a binary
    // step is less than half a unit of the last decimal digit.
    const char* mantissaEnd =
        std::to_chars(buffer.data(), bufferEnd, magnitude, std::chars_format::scientific).ptr;
    int exponent = SplitExponent(mantissaEnd);
    const auto printed = mantissaEnd - buffer.data();
    const auto shortestDigits = printed > 1 ? printed - 1 : printed; // without the point
    if (precision > DefaultSignificantDigits || shortestDigits > precision ||
        magnitude < std::numeric_limits<double>::min()) {
        mantissaEnd = std::to_chars(buffer.data(), bufferEnd, magnitude,
                                    std::chars_format::scientific, precision - 1)
                          .ptr;
        exponent = SplitExponent(mantissaEnd);
        if (IsExactHalf(magnitude, precision - 1 - exponent)) {
            // Printed with one more digit the tie is exact; round it away from zero by hand.
            mantissaEnd = std::to_chars(buffer.data(), bufferEnd, magnitude,
                                        std::chars_format::scientific, precision)
                              .ptr;
            exponent = SplitExponent(mantissaEnd);
            char* const last = buffer.data() + (mantissaEnd - buffer.data()) - 1;
            if (IncrementDigits(buffer.data(), last)) {
                buffer[0] = '1';
                ++exponent;
            }
            mantissaEnd = last;
        }
    }
    std::string digits;
    digits.reserve(MaxSignificantDigits + 1);
    for (const char* p = buffer.data(); p != mantissaEnd; ++p)
        if (*p != '.')
            digits += *p;
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    std::string out;
    out.reserve(digits.size() + 12);
    if (value < 0)
        out += '-';
    const int count = static_cast<int>(digits.size());
    if (exponent >= -5 && exponent < precision) {
        if (exponent < 0) {
            out += '0';
            out += locale.DecimalSeparator;
            out.append(static_cast<std::size_t>(-exponent - 1), '0');
            out += digits;
        } else if (count <= exponent + 1) {
            out += digits;
            out.append(static_cast<std::size_t>(exponent + 1 - count), '0');
        } else {
            out.append(digits, 0, static_cast<std::size_t>(exponent + 1));
            out += locale.DecimalSeparator;
            out.append(digits, static_cast<std::size_t>(exponent + 1));
        }
        return out;
    }
    out += digits[0];
    if (count > 1) {
        out += locale.DecimalSeparator;
        out.append(digits, 1);
    }
    out += exponent < 0 ? "E-" : "E+";
    out += std::to_string(exponent < 0 ? -exponent : exponent);
    return out;
}

} // namespace

std::string FormatFloat(std::string_view pattern, double value, const LocaleInfo& locale)
{
    TNumberPattern p = ParsePattern(pattern).value_or(TNumberPattern{});
    if (p.Conversion != 'f' && p.Conversion != 'n' && p.Conversion != 'g')
        p = TNumberPattern{};
    if (!std::isfinite(value))
        return PadLeft(NonFiniteText(value), p.Width);
    if (p.Conversion == 'g') {
        const int digits = p.Precision < 0 ? DefaultSignificantDigits
                                           : std::clamp(p.Precision, 1, MaxSignificantDigits);
        return PadLeft(FormatGeneral(value, digits, locale), p.Width);
    }
    const int decimals =
        p.Precision < 0 ? DefaultFixedPrecision : std::min(p.Precision, MaxFixedPrecision);
    return PadLeft(FormatFixed(value, decimals, p.Conversion == 'n', locale), p.Width);
}

std::string FormatInt(std::string_view pattern, std::int64_t value)
{
    TNumberPattern p = ParsePattern(pattern).value_or(TNumberPattern{'d'});
    if (p.Conversion != 'd')
        p = TNumberPattern{'d'};
    const int minDigits = std::clamp(p.Precision, 1, MaxWidth);
    // Through the unsigned type so that the most negative value has a magnitude.
    const std::uint64_t magnitude =
        value < 0 ? ~static_cast<std::uint64_t>(value) + 1 : static_cast<std::uint64_t>(value);
    std::array<char, 24> digits{};
    const auto written = std::to_chars(digits.data(), digits.data() + digits.size(), magnitude);
    const auto count = static_cast<int>(written.ptr - digits.data());

    const int zeros = std::max(minDigits - count, 0);
    const int length = (value < 0) + zeros + count;
    std::string out;
    out.reserve(static_cast<std::size_t>(std::max(length, p.Width)));
    out.append(static_cast<std::size_t>(std::max(p.Width - length, 0)), ' ');
    if (value < 0)
        out += '-';
    out.append(static_cast<std::size_t>(zeros), '0');
    out.append(digits.data(), written.ptr);
    return out;
}

} // namespace statlume
