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
using testing::CountOf;
using testing::FreeLoopbackPort;
using testing::PortAccepts;
using testing::ReadWholeFile;
using testing::TCliProcess;
using testing::TScratchDir;
using testing::WaitUntil;

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
        ASSERT_TRUE(WaitUntil([&] { return CountOf(monitor.Out(), "\n\n") >= 10; }, 4s))
            << monitor.Err();
        EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
        const std::string out = monitor.Out();
        EXPECT_EQ(CountOf(out, "stored "), CountOf(out, "\n\n")) << out;

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
    TCliProcess monitor({"--print", "--interval", "50", "--template", "still here"}, Scratch.Path(),
                        "monitor", config);
    ASSERT_TRUE(WaitUntil([&] { return CountOf(monitor.Out(), "\n\n") >= 1; }, 5s))
        << monitor.Err();
    monitor.Signal(SIGTERM);
    ASSERT_EQ(monitor.Wait(5s), 0) << monitor.Err();
    EXPECT_EQ(monitor.Out().rfind("still here\n\n", 0), 0u);
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

TEST_F(CliSettingsTest, OnceAndRecordOnlyReadTheSettings)
{
    const int port = FreeLoopbackPort();
    TCliProcess server({"--serve=" + std::to_string(port), "--interval", "100"}, Scratch.Path(),
                       "server", Scratch.NewFolder("server-config"));
    ASSERT_TRUE(WaitUntil([port] { return PortAccepts(port); }, 5s)) << server.Err();
    const auto record = Scratch.Path() / "record.bin";
    std::string bytes(272, '\0');
    bytes[0] = 'T';
    std::ofstream(record, std::ios::binary) << bytes;

    struct Row
    {
        const char* name;
        std::string text;
        std::vector<std::string> args;
    };
    // Version 80 would be migrated, and no key exists for the server: a writing run would
    // change both.
    const std::string old = "REGEDIT4\r\n\r\n"
                            "[HKEY_CURRENT_USER\\Software\\Quorvale\\Statlume]\r\n"
                            "\"Version\"=dword:00000050\r\n\"W\"=dword:00000010\r\n";
    const Row rows[] = {
        {"monitor --once", old, {"--once", "--interval", "50"}},
        {"client --once",
         old,
         {"-c", "-i127.0.0.1", "-p" + std::to_string(port), "--once", "--interval", "100"}},
        {"--record", old, {"--record", record.string()}},
        {"--once over a corrupt file", "REGEDIT4\r\n\"x", {"--once", "--interval", "50"}},
    };
    int index = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string name = "run" + std::to_string(index++);
        const auto config = Scratch.NewFolder(name);
        Scratch.NewFolder(name + "/statlume");
        const auto file = config / "statlume" / "settings.reg";
        std::ofstream(file, std::ios::binary) << row.text;
        const auto stamp = std::filesystem::last_write_time(file);
        TCliProcess run(row.args, Scratch.Path(), name, config);
        ASSERT_EQ(run.Wait(10s), 0) << run.Err();
        EXPECT_EQ(ReadWholeFile(file), row.text);
        EXPECT_EQ(std::filesystem::last_write_time(file), stamp);
        const auto entries = std::distance(std::filesystem::directory_iterator(config / "statlume"),
                                           std::filesystem::directory_iterator());
        EXPECT_EQ(entries, 1) << "no lock, temporary or kept-aside file";
    }
    server.Signal(SIGTERM);
    EXPECT_EQ(server.Wait(5s), 0) << server.Err();
}

TEST_F(CliSettingsTest, SettingsFolderOpenToOthersIsRefused)
{
    const std::string planted = "REGEDIT4\r\n\r\n"
                                "[HKEY_CURRENT_USER\\Software\\Quorvale\\Statlume]\r\n"
                                "\"Version\"=dword:00000054\r\n"
                                "\"FormatString\"=\"planted\"\r\n";
    const auto config = ConfigWith(planted);
    const auto folder = config / "statlume";
    std::filesystem::permissions(folder, std::filesystem::perms::all);
    TCliProcess monitor({"--print", "--interval", "50", "--template", "<NAME=Processes>x"},
                        Scratch.Path(), "monitor", config);
    ASSERT_TRUE(WaitUntil([&] { return CountOf(monitor.Out(), "\n\n") >= 1; }, 5s))
        << monitor.Err();
    monitor.Signal(SIGTERM);
    ASSERT_EQ(monitor.Wait(5s), 0) << monitor.Err();
    const std::string err = monitor.Err();
    EXPECT_EQ(CountOf(err, "\n"), 1u) << err;
    EXPECT_NE(err.find("chmod 700 '" + folder.string() + "'"), std::string::npos) << err;
    EXPECT_EQ(ReadWholeFile(folder / "settings.reg"), planted);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder),
                            std::filesystem::directory_iterator()),
              1);
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
