#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cli/settings_reload.h"

#include <gtest/gtest.h>
#include <unistd.h>

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

// A folder others may write could hold a planted template: the reload keeps what runs.
TEST(SettingsReload, AFolderOthersMayWriteKeepsTheCurrentSettings)
{
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("statlume-reload-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string path = (folder / "settings.reg").string();
    std::ofstream(path) << Header << "\"Interval\"=dword:000001f4\r\n";
    struct TRow
    {
        const char* name;
        std::filesystem::perms mode;
        bool read;
    };
    const TRow rows[] = {{"private folder", std::filesystem::perms::owner_all, true},
                         {"open to others", std::filesystem::perms::all, false}};
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::permissions(folder, row.mode);
        std::vector<std::string> reports;
        const auto settings = ReadReloadSettingsFile(
            path, std::string(MainSettingsKey), false,
            [&reports](const std::string& message) { reports.push_back(message); });
        EXPECT_EQ(settings.has_value(), row.read);
        EXPECT_EQ(reports.empty(), row.read);
    }
    std::filesystem::remove_all(folder);
}

} // namespace
} // namespace statlume
