#include "format/date_time_format.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "base/ascii_case.h"

namespace statlume {
namespace {

constexpr std::int64_t MillisecondsPerDay = 86'400'000;
// 0001-01-01 and 9999-12-31 as days since 1899-12-30.
constexpr double FirstDay = -693'593;
constexpr double LastDay = 2'958'465;
constexpr std::int64_t DaysFrom1899To1970 = 25'569;
// A format may name locale patterns, but their own references to locale patterns expand
// to nothing, so that a pattern naming itself cannot recurse.
constexpr int MaxPatternDepth = 2;
// No label needs more; this keeps hostile formats and locale patterns from growing memory.
constexpr std::size_t MaxOutputBytes = 64 * 1024;

struct TDecodedDateTime
{
    std::int64_t Year = 0;
    int Month = 0;
    int Day = 0;
    /// 0 = Sunday.
    int DayOfWeek = 0;
    int Hour = 0;
    int Minute = 0;
    int Second = 0;
    int Millisecond = 0;
};

/// Splits a serial date into its calendar fields; nullopt outside the years 1..9999 and
/// for values that are not numbers. A negative value's fraction is its time of day.
std::optional<TDecodedDateTime> Decode(double value)
{
    if (!(value > FirstDay - 1 && value < LastDay + 1))
        return std::nullopt;
    const double wholeDays = std::trunc(value);
    std::int64_t day = static_cast<std::int64_t>(wholeDays);
    std::int64_t ms = std::llround(std::fabs(value - wholeDays) * MillisecondsPerDay);
    if (ms >= MillisecondsPerDay) {
        ms -= MillisecondsPerDay;
        ++day;
    }
    if (day < FirstDay || day > LastDay)
        return std::nullopt;

    TDecodedDateTime d;
    // Civil date from a day count since 1970-01-01 (eras of 400 years, March-based years).
    const std::int64_t z = day - DaysFrom1899To1970 + 719'468;
    const std::int64_t era = (z >= 0 ? z : z - 146'096) / 146'097;
    const std::int64_t dayOfEra = z - era * 146'097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36'524 - dayOfEra / 146'096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    d.Day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    d.Month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    d.Year = yearOfEra + era * 400 + (d.Month <= 2);
    // Day 0 (1899-12-30) was a Saturday.
    d.DayOfWeek = static_cast<int>(((day + 6) % 7 + 7) % 7);
    d.Hour = static_cast<int>(ms / 3'600'000);
    d.Minute = static_cast<int>(ms / 60'000 % 60);
    d.Second = static_cast<int>(ms / 1000 % 60);
    d.Millisecond = static_cast<int>(ms % 1000);
    return d;
}

bool IsAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

/// The hour of an h or hh uses the 12-hour clock when the next 'a' outside quotes, before
/// any further h, starts am/pm, a/p or ampm.
bool UsesTwelveHourClock(std::string_view rest)
{
    char quote = 0;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        const char c = rest[i];
        if (quote != 0) {
            if (c == quote)
                quote = 0;
            continue;
        }
        if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == 'h' || c == 'H') {
            return false;
        } else if (c == 'a' || c == 'A') {
            const std::string_view at = rest.substr(i);
            return MatchesFoldedAt(at, 0, "AM/PM") || MatchesFoldedAt(at, 0, "A/P") ||
                   MatchesFoldedAt(at, 0, "AMPM");
        }
    }
    return false;
}

class TDateTimeWriter
{
public:
    TDateTimeWriter(const TDecodedDateTime& when, const LocaleInfo& locale)
        : When(when)
        , Locale(locale)
    {
    }

    void Append(std::string_view format, int depth);
    void Reserve(std::size_t bytes) { Out.reserve(std::min(bytes, MaxOutputBytes)); }
    std::string Take() { return std::move(Out); }

private:
    void AppendPattern(const std::string& pattern, int depth)
    {
        if (depth + 1 < MaxPatternDepth)
            Append(pattern, depth + 1);
    }
    /// Appends a field that is never negative, with zeros in front up to `minDigits`.
    void AppendNumber(std::int64_t value, std::size_t minDigits)
    {
        std::array<char, 24> digits{};
        char* const end = std::to_chars(digits.data(), digits.data() + digits.size(), value).ptr;
        const auto count = static_cast<std::size_t>(end - digits.data());
        if (count < minDigits)
            Out.append(minDigits - count, '0');
        Out.append(digits.data(), end);
    }
    bool IsMidnight() const
    {
        return When.Hour == 0 && When.Minute == 0 && When.Second == 0 && When.Millisecond == 0;
    }
    int TwelveHour() const { return When.Hour % 12 == 0 ? 12 : When.Hour % 12; }
    /// Writes am/pm, a/p or ampm found at the start of `rest`; returns the bytes used.
    std::size_t AppendMarker(std::string_view rest);

    const TDecodedDateTime& When;
    const LocaleInfo& Locale;
    std::string Out;
};

std::size_t TDateTimeWriter::AppendMarker(std::string_view rest)
{
    const bool afternoon = When.Hour >= 12;
    // am/pm and a/p copy the written letters, so their case is the writer's choice.
    if (MatchesFoldedAt(rest, 0, "AM/PM")) {
        Out += rest.substr(afternoon ? 3 : 0, 2);
        return 5;
    }
    if (MatchesFoldedAt(rest, 0, "A/P")) {
        Out += rest.substr(afternoon ? 2 : 0, 1);
        return 3;
    }
    if (MatchesFoldedAt(rest, 0, "AMPM")) {
        Out += afternoon ? Locale.TimePMString : Locale.TimeAMString;
        return 4;
    }
    Out += rest.front();
    return 1;
}

void TDateTimeWriter::Append(std::string_view format, int depth)
{
    char lastLetter = 0;
    std::size_t i = 0;
    while (i < format.size() && Out.size() < MaxOutputBytes) {
        const char c = format[i];
        char token = AsciiUpper(c);
        std::size_t count = 1;
        if (IsAsciiLetter(c) && token != 'A') {
            while (i + count < format.size() && AsciiUpper(format[i + count]) == token)
                ++count;
        }
        if (token == 'M' && lastLetter == 'H' && count <= 2)
            token = 'N';
        if (IsAsciiLetter(c))
            lastLetter = token;

        switch (token) {
        case 'C':
            AppendPattern(Locale.ShortDateFormat, depth);
            if (!IsMidnight()) {
                Out += ' ';
                AppendPattern(Locale.LongTimeFormat, depth);
            }
            break;
        case 'D':
            if (count <= 2)
                AppendNumber(When.Day, count);
            else if (count == 3)
                Out += Locale.ShortDayNames[static_cast<std::size_t>(When.DayOfWeek)];
            else if (count == 4)
                Out += Locale.LongDayNames[static_cast<std::size_t>(When.DayOfWeek)];
            else if (count == 5)
                AppendPattern(Locale.ShortDateFormat, depth);
            else
                AppendPattern(Locale.LongDateFormat, depth);
            break;
        case 'M':
            if (count <= 2)
                AppendNumber(When.Month, count);
            else if (count == 3)
                Out += Locale.ShortMonthNames[static_cast<std::size_t>(When.Month - 1)];
            else
                Out += Locale.LongMonthNames[static_cast<std::size_t>(When.Month - 1)];
            break;
        case 'Y':
            if (count <= 2)
                AppendNumber(When.Year % 100, 2);
            else
                AppendNumber(When.Year, 4);
            break;
        case 'H':
            AppendNumber(UsesTwelveHourClock(format.substr(i + count)) ? TwelveHour() : When.Hour,
                         std::min<std::size_t>(count, 2));
            break;
        case 'N':
            AppendNumber(When.Minute, std::min<std::size_t>(count, 2));
            break;
        case 'S':
            AppendNumber(When.Second, std::min<std::size_t>(count, 2));
            break;
        case 'Z':
            AppendNumber(When.Millisecond, count >= 2 ? 3 : 1);
            break;
        case 'T':
            AppendPattern(count == 1 ? Locale.ShortTimeFormat : Locale.LongTimeFormat, depth);
            break;
        case 'A':
            count = AppendMarker(format.substr(i));
            break;
        case '/':
            Out += Locale.DateSeparator;
            break;
        case ':':
            Out += Locale.TimeSeparator;
            break;
        case '\'':
        case '"': {
            const std::size_t close = format.find(c, i + 1);
            const std::size_t end = close == std::string_view::npos ? format.size() : close;
            Out += format.substr(i + 1, end - i - 1);
            count = end - i + (close != std::string_view::npos);
            break;
        }
        default:
            Out += c;
            count = 1;
            break;
        }
        i += count;
    }
    if (Out.size() > MaxOutputBytes) {
        std::size_t keep = MaxOutputBytes;
        while (keep > 0 && (static_cast<unsigned char>(Out[keep]) & 0xC0) == 0x80)
            --keep; // never cut inside a character
        Out.resize(keep);
    }
}

} // namespace

std::string FormatDateTime(std::string_view format, double dateTime, const LocaleInfo& locale)
{
    const std::optional<TDecodedDateTime> when = Decode(dateTime);
    if (!when)
        return {};
    TDateTimeWriter writer(*when, locale);
    writer.Reserve(format.size() + 24);
    writer.Append(format.empty() ? std::string_view("c") : format, 0);
    return writer.Take();
}

} // namespace statlume
