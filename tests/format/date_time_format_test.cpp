#include <chrono>
#include <limits>
#include <string>
#include <vector>

#include "format/date_time_format.h"
#include "platform/fake/test_locales.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

// 2003-03-05 (a Wednesday) as days since 1899-12-30.
constexpr double March5th2003 = 37685;
constexpr double Hour = 1.0 / 24;
constexpr double Minute = Hour / 60;
constexpr double Second = Minute / 60;
constexpr double Afternoon = March5th2003 + 14 * Hour + 7 * Minute;
constexpr double Morning = March5th2003 + 9 * Hour + 5 * Minute + 3 * Second;

struct TDateCase
{
    const char* name;
    const char* format;
    double value;
    const char* expected;
};

void CheckDateCases(const std::vector<TDateCase>& cases, const LocaleInfo& locale)
{
    for (const TDateCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FormatDateTime(c.format, c.value, locale), c.expected);
    }
}

TEST(DateTimeFormat, DateAndTimeFields)
{
    CheckDateCases(
        {
            {"default usage string", "'Date' dd/mm/yy 'Time' hh:nn", Afternoon,
             "Date 05/03/03 Time 14:07"},
            {"short numbers", "d/m/yyyy h:n:s", Morning, "5/3/2003 9:5:3"},
            {"padded numbers", "dd/mm/yyyy hh:nn:ss", Morning, "05/03/2003 09:05:03"},
            {"day names", "ddd dddd", Afternoon, "Wed Wednesday"},
            {"month names", "mmm mmmm", Afternoon, "Mar March"},
            {"short date", "ddddd", Afternoon, "3/5/2003"},
            {"long date", "dddddd", Afternoon, "Wednesday, March 5, 2003"},
            {"seven d are still the long date", "ddddddd", Afternoon, "Wednesday, March 5, 2003"},
            {"short time", "t", Afternoon, "2:07 PM"},
            {"long time", "tt", Afternoon, "2:07:00 PM"},
            {"upper-case specifiers", "DD/MM/YYYY HH:NN:SS", Morning, "05/03/2003 09:05:03"},
            {"one y is two digits", "y", Afternoon, "03"},
            {"three y are four digits", "yyy", Afternoon, "2003"},
            {"two-digit year keeps its zero", "yy", 39814, "09"}, // 2009-01-01
            {"leap day", "dd/mm/yyyy", 36585, "29/02/2000"},
            {"other characters are copied", "[yyyy] #1 - x", Afternoon, "[2003] #1 - x"},
            {"UTF-8 text is copied", "d\u00b7m", Afternoon,
             "5\u00b7"
             "3"},
        },
        platform::EnglishUsLocale());
}

TEST(DateTimeFormat, MAfterAnHourIsTheMinute)
{
    CheckDateCases(
        {
            {"hh:mm", "hh:mm", Morning, "09:05"},
            {"h:m", "h:m", Morning, "9:5"},
            {"mm alone is the month", "mm", Morning, "03"},
            {"month before the hour", "mm hh", Morning, "03 09"},
            {"quoted text does not interrupt", "hh' h 'mm", Morning, "09 h 05"},
            {"another letter interrupts", "hh d mm", Morning, "09 5 03"},
            {"mmm after h stays a month name", "h mmm", Morning, "9 Mar"},
            {"second m after the minute is a month", "h:m:m", Morning, "9:5:3"},
        },
        platform::EnglishUsLocale());
}

TEST(DateTimeFormat, TwelveHourMarkers)
{
    const double midnight = March5th2003;
    const double noon = March5th2003 + 12 * Hour;
    CheckDateCases(
        {
            {"lower am/pm", "h:nn am/pm", Afternoon, "2:07 pm"},
            {"upper am/pm", "h:nn AM/PM", Afternoon, "2:07 PM"},
            {"mixed am/pm follows the writing", "h:nn Am/Pm", Afternoon, "2:07 Pm"},
            {"morning mixed", "h:nn aM/pm", Morning, "9:05 aM"},
            {"a/p", "h a/p", Afternoon, "2 p"},
            {"A/P", "hh A/P", Morning, "09 A"},
            {"ampm uses the locale strings", "hh ampm", Afternoon, "02 PM"},
            {"midnight is 12 am", "h am/pm", midnight, "12 am"},
            {"noon is 12 pm", "h am/pm", noon, "12 pm"},
            {"24-hour without a marker", "hh", midnight, "00"},
            {"marker without an hour", "am/pm", Afternoon, "pm"},
            {"quoted marker is text", "h 'am/pm'", Afternoon, "14 am/pm"},
            {"a later h takes the marker", "h h am/pm", Afternoon, "14 2 pm"},
            {"a lone a is copied", "h a", Afternoon, "14 a"},
        },
        platform::EnglishUsLocale());
    CheckDateCases({{"empty German am/pm strings", "hh:nn ampm", Afternoon, "02:07 "}},
                   platform::GermanLocale());
}

TEST(DateTimeFormat, CombinedFormAndItsMidnightRule)
{
    const LocaleInfo en = platform::EnglishUsLocale();
    CheckDateCases(
        {
            {"c with a time", "c", Afternoon, "3/5/2003 2:07:00 PM"},
            {"c at midnight is the date alone", "c", March5th2003, "3/5/2003"},
            {"one millisecond after midnight shows the time", "c", March5th2003 + 0.001 * Second,
             "3/5/2003 12:00:00 AM"},
            {"empty format means c", "", Afternoon, "3/5/2003 2:07:00 PM"},
            {"empty format at midnight", "", March5th2003, "3/5/2003"},
            {"a run of c is one c", "ccc", March5th2003, "3/5/2003"},
        },
        en);
    CheckDateCases(
        {
            {"German c", "c", Afternoon, "05.03.2003 14:07:00"},
            {"German default usage", "'Date' dd/mm/yy 'Time' hh:nn", Afternoon,
             "Date 05.03.03 Time 14:07"},
            {"German names", "dddd, d. mmmm yyyy (ddd, mmm)", Afternoon,
             "Mittwoch, 5. M\u00e4rz 2003 (Mi, M\u00e4r)"},
            {"German long date", "dddddd", Afternoon, "Mittwoch, 5. M\u00e4rz 2003"},
        },
        platform::GermanLocale());
    CheckDateCases({{"French names", "dddd d mmmm yyyy", 36557, "mardi 1 f\u00e9vrier 2000"}},
                   platform::FrenchLocale());
}

TEST(DateTimeFormat, QuotedText)
{
    CheckDateCases(
        {
            {"single quotes", "'dddd' d", Afternoon, "dddd 5"},
            {"double quotes", "\"mm/yy\" mm", Afternoon, "mm/yy 03"},
            {"one quote inside the other", "\"it's\"", Afternoon, "it's"},
            {"adjacent quotes", "'a''b'", Afternoon, "ab"},
            {"unterminated quote runs to the end", "yyyy 'ab:c", Afternoon, "2003 ab:c"},
            {"empty quotes", "''yyyy", Afternoon, "2003"},
        },
        platform::EnglishUsLocale());
}

TEST(DateTimeFormat, SeparatorsComeFromTheLocale)
{
    LocaleInfo locale = platform::EnglishUsLocale();
    locale.DateSeparator = "\u2010";
    locale.TimeSeparator = " h ";
    EXPECT_EQ(FormatDateTime("yyyy/mm/dd hh:nn", Afternoon, locale),
              "2003\u201003\u201005 14 h 07");
}

TEST(DateTimeFormat, CalendarBoundsAndDecoding)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    CheckDateCases(
        {
            {"day zero", "yyyy-mm-dd dddd", 0, "1899-12-30 Saturday"},
            {"unix epoch", "yyyy-mm-dd dddd", 25569, "1970-01-01 Thursday"},
            {"year 2000", "yyyy-mm-dd dddd", 36526, "2000-01-01 Saturday"},
            {"first day", "yyyy-mm-dd dddd", -693593, "0001-01-01 Monday"},
            {"last day", "yyyy-mm-dd dddd hh:nn", 2958465.5, "9999-12-31 Friday 12:00"},
            {"negative value: the fraction is the time", "yyyy-mm-dd hh:nn", -1.25,
             "1899-12-29 06:00"},
            {"small negative value", "yyyy-mm-dd hh:nn", -0.5, "1899-12-30 12:00"},
            {"rounds to the next midnight", "dd hh:nn:ss", March5th2003 + 1 - 0.0001 * Second,
             "06 00:00:00"},
            {"milliseconds", "ss.zzz z", March5th2003 + 5 * Second + 0.007 * Second, "05.007 7"},
            {"milliseconds round", "zzz", March5th2003 + 0.1236 * Second, "124"},
            {"after the last day", "yyyy", 2958466, ""},
            {"before the first day", "yyyy", -693594, ""},
            {"not a number", "yyyy", nan, ""},
            {"infinity", "c", inf, ""},
            {"minus infinity", "c", -inf, ""},
            {"huge", "c", 1e300, ""},
        },
        platform::EnglishUsLocale());
}

TEST(DateTimeFormat, LocalePatternsCannotRecurseOrExplode)
{
    LocaleInfo selfReferring = platform::EnglishUsLocale();
    selfReferring.ShortDateFormat = "ddddd 'x' c";
    selfReferring.LongTimeFormat = "tt";
    // Inside a locale pattern, references to locale patterns expand to nothing.
    EXPECT_EQ(FormatDateTime("ddddd", Afternoon, selfReferring), " x  ");
    EXPECT_EQ(FormatDateTime("c", Afternoon, selfReferring), " x   ");

    LocaleInfo hostile = platform::EnglishUsLocale();
    hostile.ShortDateFormat.clear();
    for (int i = 0; i < 1000; ++i)
        hostile.ShortDateFormat += "dddd ";
    std::string format;
    for (int i = 0; i < 10000; ++i)
        format += "ddddd ";
    const auto start = std::chrono::steady_clock::now();
    const std::string text = FormatDateTime(format, Afternoon, hostile);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_LE(text.size(), 64u * 1024u);
    EXPECT_GT(text.size(), 60u * 1024u);

    const std::string manyC(10000, 'c');
    EXPECT_EQ(FormatDateTime(manyC, Afternoon, platform::EnglishUsLocale()), "3/5/2003 2:07:00 PM");
}

} // namespace
} // namespace statlume
