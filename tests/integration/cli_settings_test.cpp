#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

#include "integration/cli_process.h"
#include <gtest/gtest.h>

namespace statlume {
namespace {

using namespace std::chrono_literals;
using testing::ReadWholeFile;
using testing::TCliProcess;
using testing::TScratchDir;
using testing::WaitUntil;

std::size_t Count(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

class CliSettingsTest : public ::testing::Test
{
protected:
    // A settings folder holding settings.reg with text.
    std::filesystem::path ConfigWith(const std::string& text)
    {
        const auto config = Scratch.NewFolder("config");
        Scratch.NewFolder("config/statlume");
        std::ofstream(config / "statlume" / "settings.reg", std::ios::binary) << text;
        return config;
    }

    TScratchDir Scratch;
};

TEST_F(CliSettingsTest, FollowsStoredTemplateAndIntervalAndRecordsUptimeOnEndSignals)
{
    for (const int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal);
        const auto config = ConfigWith("REGEDIT4\r\n\r\n"
                                       "[HKEY_CURRENT_USER\\Software\\Quorvale\\Statlume]\r\n"
                                       "\"Version\"=dword:00000054\r\n"
                                       "\"FormatString\"=\"stored <NAME=Processes>\"\r\n"
                                       "\"Interval\"=dword:00000064\r\n");
        TCliProcess monitor({"--print"}, Scratch.Path(), "monitor-" + std::to_string(signal),
                            config);
        // At 100 ms a tick, ten renders come well within 4 s; at the default 1000 ms they
        // cannot.
        const auto start = std::chrono::steady_clock::now();
        ASSERT_TRUE(WaitUntil([&] { return Count(monitor.Out(), "\n\n") >= 10; }, 4s))
            << monitor.Err();
        EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
        const std::string out = monitor.Out();
        EXPECT_EQ(Count(out, "stored "), Count(out, "\n\n")) << out;

        monitor.Signal(signal);
        ASSERT_EQ(monitor.Wait(5s), 0) << monitor.Err();
        EXPECT_EQ(monitor.Err(), "");
        const std::string saved = ReadWholeFile(config / "statlume" / "settings.reg");
        EXPECT_NE(saved.find("\"UptimeCount\"=dword:00000001"), std::string::npos) << saved;
        EXPECT_TRUE(std::regex_search(
            saved, std::regex("\"TotalUptime\"=hex:([0-9a-f]{2},){7}[0-9a-f]{2}\r?\n")))
            << saved;
        // The stored settings themselves are left as they were.
        EXPECT_NE(saved.find("\"FormatString\"=\"stored <NAME=Processes>\""), std::string::npos);
        std::filesystem::remove_all(config);
    }
}

TEST_F(CliSettingsTest, WrongTypedValuesAreNamedAndDefaulted)
{
    const auto config = ConfigWith("REGEDIT4\r\n\r\n"
                                   "[HKEY_CURRENT_USER\\Software\\Quorvale\\Statlume]\r\n"
                                   "\"Version\"=dword:00000054\r\n"
                                   "\"FormatString\"=dword:00000001\r\n"
                                   "\"Interval\"=\"fast\"\r\n");
    TCliProcess monitor({"--once", "--template", "t <NAME=Processes>"}, Scratch.Path(), "monitor",
                        config);
    ASSERT_EQ(monitor.Wait(10s), 0) << monitor.Err();
    EXPECT_NE(monitor.Err().find("'Interval'"), std::string::npos) << monitor.Err();
    EXPECT_NE(monitor.Err().find("'FormatString'"), std::string::npos) << monitor.Err();
    EXPECT_EQ(monitor.Out().rfind("t ", 0), 0u) << monitor.Out();
}

TEST_F(CliSettingsTest, CorruptSettingsAreKeptAsideAndTheProgramRuns)
{
    const auto config = ConfigWith("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\r\n\"broken");
    TCliProcess monitor({"--once", "--interval", "50", "--template", "still here"}, Scratch.Path(),
                        "monitor", config);
    ASSERT_EQ(monitor.Wait(10s), 0) << monitor.Err();
    EXPECT_EQ(monitor.Out(), "still here\n\n");
    EXPECT_NE(monitor.Err().find("settings.reg"), std::string::npos) << monitor.Err();

    int keptAside = 0;
    for (const auto& entry : std::filesystem::directory_iterator(config / "statlume")) {
        if (entry.path().filename().string().rfind("settings.reg.bad-", 0) == 0) {
            ++keptAside;
            EXPECT_NE(ReadWholeFile(entry.path()).find("\"broken"), std::string::npos);
        }
    }
    EXPECT_EQ(keptAside, 1);
}

TEST_F(CliSettingsTest, RenderingARecordWritesNoSettings)
{
    const std::string text = "REGEDIT4\r\n\r\n"
                             "[HKEY_CURRENT_USER\\Software\\Quorvale\\Statlume]\r\n"
                             "\"FormatString\"=\"from store\"\r\n";
    const auto config = ConfigWith(text);
    std::string record(272, '\0');
    record[0] = 'T';
    const auto file = Scratch.Path() / "record.bin";
    std::ofstream(file, std::ios::binary) << record;
    TCliProcess render({"--record", file.string()}, Scratch.Path(), "render", config);
    ASSERT_EQ(render.Wait(5s), 0) << render.Err();
    EXPECT_EQ(render.Out(), "from store\n\n");
    EXPECT_EQ(ReadWholeFile(config / "statlume" / "settings.reg"), text);
}

} // namespace
} // namespace statlume
