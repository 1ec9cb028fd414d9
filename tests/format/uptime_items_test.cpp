#include "format_rig.h"
#include <gtest/gtest.h>

namespace statlume {
namespace {

constexpr std::int64_t OneDayTwoHoursThreeMinutesFourSeconds = 93784;

TEST(UptimeItems, SubFormatPatterns)
{
    struct Row
    {
        const char* name;
        std::string pattern;
        bool leadZero;
        std::int64_t seconds;
        std::string text;
    };
    const std::string defaultPattern = "*d* days, *H* hrs, *M* mins, *S* secs";
    const Row rows[] = {
        {"default pattern", defaultPattern, false, OneDayTwoHoursThreeMinutesFourSeconds,
         "1 days, 02 hrs, 03 mins, 04 secs"},
        {"lead zero pads days with a blank", defaultPattern, true,
         OneDayTwoHoursThreeMinutesFourSeconds, " 1 days, 02 hrs, 03 mins, 04 secs"},
        {"lower-case markers", "*h*:*m*:*s*", false, OneDayTwoHoursThreeMinutesFourSeconds,
         "2:3:4"},
        {"lower-case markers with lead zero", "*h*:*m*:*s*", true,
         OneDayTwoHoursThreeMinutesFourSeconds, "02:03:04"},
        {"days taken out of hours", "*H*:*M*", false, 2 * 86400 + 5 * 3600, "05:00"},
        {"only the first marker", "*S* and *S*", false, 4, "04 and *S*"},
        {"upper-case days pad with a blank", "*D*", false, 86400, " 1"},
        {"long day count written whole", "*D*|*d*", true, 123 * 86400, "123|123"},
        {"zero", "*d* *H*:*M*:*S*", false, 0, "0 00:00:00"},
        {"no markers", "up", true, 5, "up"},
        {"empty pattern", "", true, 5, ""},
        {"markers are case-sensitive", "*X* *Hh*", false, 3600, "*X* *Hh*"},
        {"negative count", "*d*|*h*|*m*|*s*", false, -90061, "-1|-1|-1|-1"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(TUTPFormat::UpTimeSubFormat(row.pattern, row.leadZero, row.seconds), row.text);
    }
}

TEST(UptimeItems, ExtremeCountsDoNotOverflow)
{
    for (const std::int64_t seconds :
         {std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max()}) {
        SCOPED_TRACE(seconds);
        const std::string text = TUTPFormat::UpTimeSubFormat("*d*|*S*", false, seconds);
        EXPECT_EQ(text.substr(0, text.find('|')), std::to_string(seconds / 86400));
    }
}

TEST(UptimeItems, TagsReadTheRecord)
{
    TFormatRig rig;
    TRawData& d = rig.Shell.Data;
    d.UptimeSecs = OneDayTwoHoursThreeMinutesFourSeconds;
    d.ThreadCount = 312;
    d.ProcessCount = -5;
    EXPECT_EQ(rig.Render("<NAME=Uptime FORMAT=\"*d* days, *H* hrs, *M* mins, *S* secs\" "
                         "SIZE=20>"),
              "1 days, 02 hrs, 03 mins, 04 secs");
    EXPECT_EQ(rig.Render("<NAME=Uptime LEADZERO FORMAT=\"*h*h\">"), "02h");
    EXPECT_EQ(rig.Render("<NAME=Uptime>"), "");
    EXPECT_EQ(rig.Render("<NAME=Threads FORMAT=\"9\" LEADZERO DECIMAL>"), "312");
    EXPECT_EQ(rig.Render("<NAME=Processes>"), "-5");
}

} // namespace
} // namespace statlume
