#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "integration/cli_process.h"
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <poll.h>

namespace statlume {
namespace {

using namespace std::chrono_literals;
using testing::CountOf;
using testing::FreeLoopbackPort;
using testing::ReadWholeFile;
using testing::TCliProcess;
using testing::TScratchDir;
using testing::WaitUntil;

// One request on loopback; the whole reply, or empty text when nothing answered within 3 s.
std::string HttpGet(int port, const std::string& path)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string reply;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        const std::string request = "GET " + path + " HTTP/1.0\r\n\r\n";
        (void)::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
        const auto end = std::chrono::steady_clock::now() + 3s;
        char buffer[4096];
        while (std::chrono::steady_clock::now() < end) {
            pollfd poller{fd, POLLIN, 0};
            if (::poll(&poller, 1, 50) <= 0)
                continue;
            const ssize_t count = ::recv(fd, buffer, sizeof buffer, 0);
            if (count <= 0)
                break;
            reply.append(buffer, static_cast<std::size_t>(count));
        }
    }
    ::close(fd);
    return reply;
}

class CliBridgesTest : public ::testing::Test
{
protected:
    std::filesystem::path WriteSettings(const std::string& values)
    {
        std::filesystem::create_directories(Config / "statlume");
        std::ofstream(Config / "statlume" / "settings.reg", std::ios::binary)
            << "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Quorvale\\Statlume]\r\n"
               "\"Version\"=dword:00000054\r\n"
            << values;
        return Config / "statlume" / "settings.reg";
    }

    TScratchDir Scratch;
    std::filesystem::path Config = Scratch.NewFolder("config");
};

TEST_F(CliBridgesTest, HangupReadsTemplateAndIntervalAgainWithoutWriting)
{
    const auto file = WriteSettings("\"FormatString\"=\"first <NAME=Processes>\"\r\n"
                                    "\"Interval\"=dword:000003e8\r\n");
    TCliProcess monitor({"--print"}, Scratch.Path(), "monitor", Config);
    ASSERT_TRUE(WaitUntil([&] { return CountOf(monitor.Out(), "first ") >= 1; }, 4s))
        << monitor.Err();

    const std::string changed =
        "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Quorvale\\Statlume]\r\n"
        "\"Version\"=dword:00000054\r\n"
        "\"FormatString\"=\"second <NAME=Threads>\"\r\n"
        "\"Interval\"=dword:00000064\r\n"
        "\"DriveMap\"=\"C=/\"\r\n\"Exclude\"=\"nothing\"\r\n";
    std::ofstream(file, std::ios::binary) << changed;
    monitor.Signal(SIGHUP);
    // At 100 ms a tick, ten renders of the new template come well within 4 s; at 1000 ms
    // they cannot.
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(WaitUntil([&] { return CountOf(monitor.Out(), "second ") >= 10; }, 4s))
        << monitor.Out() << monitor.Err();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    EXPECT_EQ(monitor.Wait(0ms), std::nullopt) << "SIGHUP ended the run";
    EXPECT_EQ(ReadWholeFile(file), changed) << "a reload wrote the settings";
    EXPECT_NE(monitor.Err().find("settings read again"), std::string::npos) << monitor.Err();

    monitor.Signal(SIGTERM);
    EXPECT_EQ(monitor.Wait(5s), 0) << monitor.Err();
}

TEST_F(CliBridgesTest, StoredIntervalZeroUsesTheDefaultAtStartAndAfterHangup)
{
    WriteSettings("\"FormatString\"=\"tick <NAME=Processes>\"\r\n\"Interval\"=dword:00000000\r\n");
    TCliProcess monitor({"--print"}, Scratch.Path(), "monitor", Config);
    const auto said = [&] { return CountOf(monitor.Err(), "\"Interval\" (0)"); };
    ASSERT_TRUE(WaitUntil([&] { return CountOf(monitor.Out(), "tick ") >= 2; }, 4s))
        << monitor.Err();
    EXPECT_EQ(said(), 1u) << monitor.Err();

    monitor.Signal(SIGHUP);
    ASSERT_TRUE(WaitUntil([&] { return said() == 2; }, 4s)) << monitor.Err();
    const auto renders = CountOf(monitor.Out(), "tick ");
    EXPECT_TRUE(WaitUntil([&] { return CountOf(monitor.Out(), "tick ") >= renders + 2; }, 4s))
        << "the clock stopped after the reload";
    monitor.Signal(SIGTERM);
    EXPECT_EQ(monitor.Wait(5s), 0) << monitor.Err();
}

TEST_F(CliBridgesTest, JsonAndOneLineWriteOneLinePerUpdate)
{
    struct TCase
    {
        const char* name;
        std::string option;
    };
    for (const TCase& c : {TCase{"json", "--json"}, TCase{"one line", "--one-line=//"}}) {
        SCOPED_TRACE(c.name);
        TCliProcess monitor(
            {c.option, "--interval", "100", "--template", "a <NAME=Processes>\nb <NAME=CompName>"},
            Scratch.Path(), std::string("out-") + c.option.substr(2, 4), Config);
        ASSERT_TRUE(WaitUntil([&] { return CountOf(monitor.Out(), "\n") >= 3; }, 4s))
            << monitor.Err();
        monitor.Signal(SIGTERM);
        ASSERT_EQ(monitor.Wait(5s), 0) << monitor.Err();
        const std::string out = monitor.Out();
        EXPECT_EQ(out.find("\n\n"), std::string::npos) << out;
        std::istringstream lines(out);
        std::string line;
        while (std::getline(lines, line)) {
            if (c.option == "--json") {
                const auto object = nlohmann::json::parse(line); // throws on a bad line
                EXPECT_EQ(object.at("text").get<std::string>().rfind("a ", 0), 0u);
                EXPECT_NE(object.at("tooltip").get<std::string>().find("\nb "), std::string::npos);
                EXPECT_EQ(object.at("class"), "");
            } else {
                EXPECT_NE(line.find("//b "), std::string::npos) << line;
            }
        }
    }
}

TEST_F(CliBridgesTest, MetricsAloneServesAndPrintsNothing)
{
    const int port = FreeLoopbackPort();
    TCliProcess monitor({"--metrics=127.0.0.1:" + std::to_string(port), "--interval", "200"},
                        Scratch.Path(), "metrics", Config);
    std::string reply;
    ASSERT_TRUE(WaitUntil(
        [&] {
            reply = HttpGet(port, "/metrics");
            return reply.find("statlume_memory_bytes{kind=\"ram\",state=\"total\"}") !=
                   std::string::npos;
        },
        5s))
        << reply << monitor.Err();
    EXPECT_NE(reply.find("Content-Type: text/plain; version=0.0.4"), std::string::npos);
    EXPECT_EQ(HttpGet(port, "/").rfind("HTTP/1.1 404", 0), 0u);

    const char* promtool = "/usr/bin/promtool";
    if (std::filesystem::exists(promtool)) {
        const auto body = Scratch.Path() / "metrics.txt";
        std::ofstream(body) << reply.substr(reply.find("\r\n\r\n") + 4);
        const std::string command = std::string(promtool) + " check metrics < " + body.string() +
                                    " > " + (Scratch.Path() / "promtool.out").string() + " 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0)
            << ReadWholeFile(Scratch.Path() / "promtool.out");
    } else {
        std::cout << "promtool is not installed (Debian package prometheus): its check skipped\n";
    }
    monitor.Signal(SIGTERM);
    EXPECT_EQ(monitor.Wait(5s), 0);
    EXPECT_EQ(monitor.Out(), "");
}

TEST_F(CliBridgesTest, ClientExportsUpZeroWhileItsServerIsAway)
{
    const int serverPort = FreeLoopbackPort();
    const int port = FreeLoopbackPort();
    TCliProcess client({"-c", "-i127.0.0.1", "-p" + std::to_string(serverPort),
                        "--metrics=127.0.0.1:" + std::to_string(port), "--interval", "200"},
                       Scratch.Path(), "client", Config);
    std::string reply;
    ASSERT_TRUE(WaitUntil(
        [&] {
            reply = HttpGet(port, "/metrics");
            return reply.find("\nstatlume_up 0\n") != std::string::npos;
        },
        5s))
        << reply << client.Err();
    EXPECT_EQ(reply.find("statlume_cpu_usage_ratio"), std::string::npos);

    TCliProcess server({"--serve=" + std::to_string(serverPort), "--interval", "200"},
                       Scratch.Path(), "server", Config);
    EXPECT_TRUE(WaitUntil(
        [&] {
            reply = HttpGet(port, "/metrics");
            return reply.find("\nstatlume_up 1\n") != std::string::npos;
        },
        8s))
        << reply << client.Err();
    EXPECT_NE(reply.find("statlume_uptime_seconds "), std::string::npos);
    EXPECT_EQ(client.Out(), "");
}

} // namespace
} // namespace statlume
