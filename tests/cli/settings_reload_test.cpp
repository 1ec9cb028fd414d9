#include <string>
#include <vector>

#include "cli/settings_reload.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

const std::string Header = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Quorvale\\Statlume]\r\n";

TEST(SettingsReload, ReadsTheFourReloadedValuesOrTheirDefaults)
{
    struct TCase
    {
        const char* name;
        std::string text;
        bool client;
        std::optional<std::string> formatString;
        std::int32_t interval;
        std::string exclude;
        std::string driveMap;
        std::vector<std::string> reports;
    };
    const TCase cases[] = {
        {"all four",
         Header + "\"FormatString\"=\"<NAME=Threads>\"\r\n\"Interval\"=dword:000001f4\r\n"
                  "\"Exclude\"=\"idle\"\r\n\"DriveMap\"=\"C=/;D=/home\"\r\n",
         false,
         "<NAME=Threads>",
         500,
         "idle",
         "C=/;D=/home",
         {}},
        {"empty file gives defaults", "", false, std::nullopt, 1000, "", "C=/", {}},
        {"a client's default interval", "", true, std::nullopt, 2000, "", "C=/", {}},
        {"missing key gives defaults",
         "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Other]\r\n",
         false,
         std::nullopt,
         1000,
         "",
         "C=/",
         {}},
        {"wrong types are named and defaulted",
         Header + "\"Interval\"=\"fast\"\r\n\"FormatString\"=dword:00000001\r\n",
         false,
         std::nullopt,
         1000,
         "",
         "C=/",
         {"Invalid data type for 'FormatString'", "Invalid data type for 'Interval'"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> reports;
        const auto settings =
            ReadReloadSettings(c.text, std::string(MainSettingsKey), c.client,
                               [&](const std::string& message) { reports.push_back(message); });
        ASSERT_TRUE(settings);
        EXPECT_EQ(settings->FormatString, c.formatString);
        EXPECT_EQ(settings->Interval, c.interval);
        EXPECT_EQ(settings->ExcludeText, c.exclude);
        EXPECT_EQ(settings->DriveMap, c.driveMap);
        EXPECT_EQ(reports, c.reports);
    }
}

TEST(SettingsReload, TextThatDoesNotParseKeepsTheCurrentSettings)
{
    std::string report;
    EXPECT_FALSE(ReadReloadSettings("not a settings file", std::string(MainSettingsKey), false,
                                    [&](const std::string& message) { report = message; }));
    EXPECT_NE(report.find("the current settings stay"), std::string::npos) << report;
}

} // namespace
} // namespace statlume
