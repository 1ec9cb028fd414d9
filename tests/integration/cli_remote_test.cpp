#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "record/raw_data.h"

#include "integration/cli_process.h"
#include <asio.hpp>
#include <gtest/gtest.h>

namespace statlume {
namespace {

using namespace std::chrono_literals;
using testing::FreeLoopbackPort;
using testing::PortAccepts;
using testing::ReadWholeFile;
using testing::TCliProcess;
using testing::TScratchDir;
using testing::WaitUntil;

// Renders made so far: each render ends with one empty line.
std::size_t Renders(const std::string& out)
{
    std::size_t count = 0;
    for (std::size_t at = out.find("\n\n"); at != std::string::npos; at = out.find("\n\n", at + 2))
        ++count;
    return count;
}

class CliRemoteTest : public ::testing::Test
{
protected:
    // A server on port that keeps one record for the whole test and writes it to a file.
    std::unique_ptr<TCliProcess> StartServer(int port, const std::vector<std::string>& extra,
                                             const std::string& name)
    {
        std::vector<std::string> args{"--serve=" + std::to_string(port), "--interval", "60000",
                                      "--dump-record", (Scratch.Path() / (name + ".bin")).string()};
        args.insert(args.end(), extra.begin(), extra.end());
        auto server = std::make_unique<TCliProcess>(args, Scratch.Path(), name,
                                                    Scratch.NewFolder(name + "-config"));
        EXPECT_TRUE(WaitUntil([port] { return PortAccepts(port); }, 5s)) << server->Err();
        return server;
    }

    TScratchDir Scratch;
};

TEST_F(CliRemoteTest, ClientReceivesTheServersRecordByteForByte)
{
    struct TCase
    {
        const char* name;
        std::vector<std::string> password;
    };
    const TCase cases[] = {{"plain", {}}, {"same password both sides", {"-dSecret"}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const int port = FreeLoopbackPort();
        const std::string tag = c.password.empty() ? "plain" : "sealed";
        auto server = StartServer(port, c.password, "server-" + tag);

        const auto clientDump = Scratch.Path() / ("client-" + tag + ".bin");
        // The host and port as separate words, as users type them.
        std::vector<std::string> args{"-c",
                                      "-i",
                                      "127.0.0.1",
                                      "-p",
                                      std::to_string(port),
                                      "--once",
                                      "--interval",
                                      "200",
                                      "--template",
                                      "<NAME=CompName>|<NAME=Processes>",
                                      "--dump-record",
                                      clientDump.string()};
        args.insert(args.end(), c.password.begin(), c.password.end());
        TCliProcess client(args, Scratch.Path(), "client-" + tag,
                           Scratch.NewFolder("client-" + tag + "-config"));
        ASSERT_EQ(client.Wait(10s), 0) << client.Err();

        const std::string served = ReadWholeFile(Scratch.Path() / ("server-" + tag + ".bin"));
        ASSERT_EQ(served.size(), 272u);
        EXPECT_EQ(ReadWholeFile(clientDump), served);
        EXPECT_EQ(Renders(client.Out()), 1u) << client.Out();
        EXPECT_NE(client.Out().find('|'), std::string::npos);

        server->Signal(SIGTERM);
        EXPECT_EQ(server->Wait(5s), 0) << server->Err();
    }
}

TEST_F(CliRemoteTest, TypedPasswordWinsOverTheStoredOneAndNeitherIsShown)
{
    const auto passwordFile = Scratch.Path() / "password";
    std::ofstream(passwordFile) << "Typed\n";
    std::filesystem::permissions(passwordFile, std::filesystem::perms::owner_read);
    struct TCase
    {
        const char* name;
        std::vector<std::string> args;
        std::vector<std::string> env;
        const char* source;
    };
    const TCase cases[] = {
        {"-d", {"-dTyped"}, {}, "-d"},
        {"password file", {"--password-file", passwordFile.string()}, {}, "--password-file"},
        {"environment", {}, {"STATLUME_PASSWORD=typed"}, "STATLUME_PASSWORD"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string tag = std::string("pw-") + c.source;
        const auto config = Scratch.NewFolder(tag + "-config");
        std::filesystem::create_directories(config / "statlume");
        std::ofstream(config / "statlume" / "settings.reg", std::ios::binary)
            << "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Quorvale\\Statlume]\r\n"
               "\"Version\"=dword:00000054\r\n\"Password\"=\"stored-pw\"\r\n";
        const int port = FreeLoopbackPort();
        std::vector<std::string> args{"--serve",       std::to_string(port),
                                      "--interval",    "60000",
                                      "--dump-record", (Scratch.Path() / (tag + ".bin")).string()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        TCliProcess server(args, Scratch.Path(), tag, config, c.env);
        ASSERT_TRUE(WaitUntil([port] { return PortAccepts(port); }, 5s)) << server.Err();

        const auto dump = Scratch.Path() / (tag + "-client.bin");
        TCliProcess client({"-c", "-i127.0.0.1", "-p" + std::to_string(port), "-dtyped", "--once",
                            "--interval", "200", "--dump-record", dump.string()},
                           Scratch.Path(), tag + "-client", Scratch.NewFolder(tag + "-cc"));
        ASSERT_EQ(client.Wait(10s), 0) << client.Err();
        EXPECT_EQ(ReadWholeFile(dump), ReadWholeFile(Scratch.Path() / (tag + ".bin")));

        server.Signal(SIGTERM);
        ASSERT_EQ(server.Wait(5s), 0);
        const std::string err = server.Err();
        EXPECT_NE(err.find(std::string("using the password given with ") + c.source),
                  std::string::npos)
            << err;
        EXPECT_EQ(err.find("typed"), std::string::npos) << err;
        EXPECT_EQ(err.find("stored-pw"), std::string::npos) << err;
    }
}

TEST_F(CliRemoteTest, PasswordIsGoneFromTheCommandLineOfTheRunningProgram)
{
    const int port = FreeLoopbackPort();
    TCliProcess client({"-c", "-i127.0.0.1", "-p" + std::to_string(port), "-dsecret"},
                       Scratch.Path(), "client", Scratch.NewFolder("client-config"));
    const auto cmdline = "/proc/" + std::to_string(client.Id()) + "/cmdline";
    // Read once the program has parsed its arguments (before, the test's own shows).
    ASSERT_TRUE(
        WaitUntil([&] { return ReadWholeFile(cmdline).find("-dxxxxxx") != std::string::npos; }, 5s))
        << ReadWholeFile(cmdline);
    EXPECT_EQ(ReadWholeFile(cmdline).find("secret"), std::string::npos);
}

TEST_F(CliRemoteTest, FloodingServerGetsOneRenderAndOneDumpATickAndIsHeldBack)
{
    // A peer that sends records as fast as the connection takes them, unasked.
    asio::io_context io;
    asio::ip::tcp::acceptor acceptor(io, {asio::ip::address_v4::loopback(), 0});
    const int port = acceptor.local_endpoint().port();
    acceptor.non_blocking(true);
    std::atomic<bool> stop = false;
    std::atomic<std::size_t> sent = 0;
    // Joined on every way out of the test, after the client is gone.
    std::jthread flooder([&] {
        std::error_code error;
        asio::ip::tcp::socket peer(io);
        while (!stop && acceptor.accept(peer, error) == asio::error::would_block)
            std::this_thread::sleep_for(10ms);
        // Kernel buffers of a known size, so what the client never reads stays small.
        peer.set_option(asio::socket_base::send_buffer_size(64 * 1024), error);
        TRawData data;
        data.Marker = 'T';
        data.ComputerName.Assign("flood");
        const TRawBytes one = EncodeRawData(data);
        std::vector<std::uint8_t> burst;
        for (int i = 0; i < 64; ++i)
            burst.insert(burst.end(), one.begin(), one.end());
        while (!error && !stop)
            sent += asio::write(peer, asio::buffer(burst), error);
    });

    const auto dump = Scratch.Path() / "flood.bin";
    TCliProcess client({"-c", "-i127.0.0.1", "-p" + std::to_string(port), "--interval", "250",
                        "--template", "<NAME=CompName>", "--dump-record", dump.string()},
                       Scratch.Path(), "client", Scratch.NewFolder("client-config"));
    ASSERT_TRUE(WaitUntil([&] { return Renders(client.Out()) >= 1; }, 5s)) << client.Err();
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(1500ms);
    const std::size_t renders = Renders(client.Out());
    const auto elapsed = std::chrono::steady_clock::now() - start;
    const std::size_t flooded = sent;
    client.Signal(SIGTERM);
    EXPECT_EQ(client.Wait(5s), 0) << client.Err();
    stop = true;

    // One a tick, and one more for the first record of a tick that began before the count.
    EXPECT_LE(renders, static_cast<std::size_t>(elapsed / 250ms) + 2) << renders;
    EXPECT_EQ(client.Out().rfind("flood\n\n", 0), 0u);
    EXPECT_EQ(ReadWholeFile(dump).size(), RawDataSize);
    // Read without a bound, the peer gets well over 100 MB through in that time; read a little
    // per request, it is held back once the kernel buffers are full.
    EXPECT_LT(flooded, 8u << 20) << flooded;
}

TEST_F(CliRemoteTest, ClientWaitsForTheServerAndRecoversWhenItReturns)
{
    const int port = FreeLoopbackPort();
    TCliProcess client({"-c", "-i127.0.0.1", "-p" + std::to_string(port), "--interval", "150",
                        "--template", "remote <NAME=Processes>"},
                       Scratch.Path(), "client", Scratch.NewFolder("client-config"));

    // Nobody listens yet: one alert line, nothing printed.
    const std::string target = "127.0.0.1:" + std::to_string(port);
    ASSERT_TRUE(WaitUntil(
        [&] { return client.Err().find("cannot reach " + target + ": ") != std::string::npos; },
        5s))
        << client.Err();
    EXPECT_EQ(client.Out(), "");

    auto server = StartServer(port, {}, "first");
    ASSERT_TRUE(WaitUntil([&] { return Renders(client.Out()) >= 2; }, 5s)) << client.Err();
    EXPECT_EQ(client.Out().rfind("remote ", 0), 0u) << client.Out();
    // Alert lines come at most one a second, so this one may follow a little later.
    EXPECT_TRUE(WaitUntil(
        [&] { return client.Err().find("connected to " + target) != std::string::npos; }, 5s))
        << client.Err();

    // The server goes away while connected: the error is reported once, and the client
    // prints again when a server is back on the port.
    server->Signal(SIGTERM);
    ASSERT_EQ(server->Wait(5s), 0);
    // A close with a request still unread reaches the client as a reset instead of an end.
    const std::size_t connectedAt = client.Err().find("connected to " + target);
    ASSERT_TRUE(WaitUntil(
        [&] {
            return client.Err().find("cannot reach " + target + ": ", connectedAt) !=
                   std::string::npos;
        },
        5s))
        << client.Err();
    const std::size_t before = Renders(client.Out());
    server = StartServer(port, {}, "second");
    ASSERT_TRUE(WaitUntil([&] { return Renders(client.Out()) >= before + 2; }, 5s)) << client.Err();

    client.Signal(SIGTERM);
    EXPECT_EQ(client.Wait(5s), 0);
}

TEST_F(CliRemoteTest, ClientThatAlsoServesPassesOnTheRecordItReceived)
{
    const int sourcePort = FreeLoopbackPort();
    auto source = StartServer(sourcePort, {}, "source");
    const int relayPort = FreeLoopbackPort();
    TCliProcess relay({"-c", "-i127.0.0.1", "-p" + std::to_string(sourcePort),
                       "--serve=" + std::to_string(relayPort), "--interval", "100"},
                      Scratch.Path(), "relay", Scratch.NewFolder("relay-config"));
    ASSERT_TRUE(WaitUntil([&] { return Renders(relay.Out()) >= 1; }, 5s)) << relay.Err();

    const auto dump = Scratch.Path() / "end.bin";
    TCliProcess end({"-c", "-i127.0.0.1", "-p" + std::to_string(relayPort), "--once", "--interval",
                     "100", "--dump-record", dump.string()},
                    Scratch.Path(), "end", Scratch.NewFolder("end-config"));
    ASSERT_EQ(end.Wait(10s), 0) << end.Err();
    EXPECT_EQ(ReadWholeFile(dump), ReadWholeFile(Scratch.Path() / "source.bin"));
}

TEST_F(CliRemoteTest, OnceWithoutAServerEndsWithAMessage)
{
    const int port = FreeLoopbackPort();
    const auto start = std::chrono::steady_clock::now();
    TCliProcess client(
        {"-c", "-i127.0.0.1", "-p" + std::to_string(port), "--once", "--interval", "100"},
        Scratch.Path(), "client", Scratch.NewFolder("client-config"));
    ASSERT_EQ(client.Wait(10s), 1);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 4900ms);
    EXPECT_NE(client.Err().find("no record from 127.0.0.1:" + std::to_string(port)),
              std::string::npos)
        << client.Err();
    EXPECT_EQ(client.Out(), "");
}

// A status bar must not show zeros and a date of 1899 as a server's figures.
TEST_F(CliRemoteTest, JsonWithoutAServerShowsNoFiguresAndTheAlert)
{
    const int port = FreeLoopbackPort();
    TCliProcess client({"-c", "-i127.0.0.1", "-p" + std::to_string(port), "--json", "--interval",
                        "100", "--template", "CPU <NAME=ProcUsage>% <NAME=DateTime>"},
                       Scratch.Path(), "client", Scratch.NewFolder("client-config"));
    ASSERT_TRUE(WaitUntil([&] { return client.Out().find('\n') != std::string::npos; }, 5s))
        << client.Err();
    client.Signal(SIGTERM);
    ASSERT_EQ(client.Wait(5s), 0);
    const std::string out = client.Out();
    EXPECT_EQ(out.substr(0, out.find('\n')), R"({"text":"","tooltip":"cannot reach 127.0.0.1:)" +
                                                 std::to_string(port) +
                                                 R"(: Connection refused","class":"alert"})")
        << out;
}

TEST_F(CliRemoteTest, ALookUpSlowerThanATickIsLeftToFinishAndTold)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "a preloaded library would come before the sanitizer runtime";
#endif
    const int port = FreeLoopbackPort();
    auto server = StartServer(port, {}, "server");
    // Each look-up takes five ticks.
    TCliProcess client(
        {"-c", "-ilocalhost", "-p" + std::to_string(port), "--once", "--interval", "200"},
        Scratch.Path(), "client", Scratch.NewFolder("client-config"),
        {"LD_PRELOAD=" STATLUME_BINARY_DIR "/tests/tools/slow-lookup.so",
         "STATLUME_LOOKUP_DELAY_MS=1000"});
    EXPECT_EQ(client.Wait(10s), 0) << client.Err();
    EXPECT_EQ(testing::CountOf(client.Err(), "looking up localhost\u2026\n"), 1u) << client.Err();
    EXPECT_EQ(Renders(client.Out()), 1u);
    server->Signal(SIGTERM);
    EXPECT_EQ(server->Wait(5s), 0) << server->Err();
}

TEST_F(CliRemoteTest, AConnectIntoABlackHoleIsToldAndEndsAfterItsTimeOut)
{
    // In a network namespace of its own, 198.51.100.0/24 is routed to loopback, which drops
    // what no local address takes: a connect there hears nothing.
    const std::string blackHole = "ip link set lo up && ip route add 198.51.100.0/24 dev lo";
    if (std::system(("unshare -n sh -c '" + blackHole + "' 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "no network namespace here (needs unshare -n and ip)";
    TCliProcess client({"-c", "-i198.51.100.2", "-p6130", "--interval", "200"}, Scratch.Path(),
                       "client", Scratch.NewFolder("client-config"), {},
                       {"unshare", "-n", "sh", "-c", blackHole + " && exec \"$0\" \"$@\""});
    EXPECT_TRUE(WaitUntil(
        [&] {
            return client.Err().find("connecting to 198.51.100.2:6130\u2026") != std::string::npos;
        },
        2s))
        << client.Err();
    // Left alone until its own time-out, then failed with it.
    EXPECT_TRUE(WaitUntil([&] { return client.Err().find("timed out") != std::string::npos; }, 12s))
        << client.Err();
    EXPECT_EQ(testing::CountOf(client.Err(), "connecting to"), 1u) << client.Err();
    client.Signal(SIGTERM);
    EXPECT_EQ(client.Wait(5s), 0) << client.Err();
}

TEST_F(CliRemoteTest, ServerThatCannotListenSaysWhy)
{
    const int taken = FreeLoopbackPort();
    TCliProcess holder({"--serve=" + std::to_string(taken), "--interval", "60000"}, Scratch.Path(),
                       "holder", Scratch.NewFolder("holder-config"));
    ASSERT_TRUE(WaitUntil([taken] { return PortAccepts(taken); }, 5s)) << holder.Err();

    struct TCase
    {
        const char* name;
        std::string port;
        int status;
        const char* message;
    };
    const TCase cases[] = {
        {"port in use", std::to_string(taken), 1, "cannot serve on port"},
        {"port out of range", "70000", 2, "from 1 to 65535"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TCliProcess server({"--serve=" + c.port}, Scratch.Path(), "server",
                           Scratch.NewFolder(std::string("config-") + c.name));
        EXPECT_EQ(server.Wait(5s), c.status);
        EXPECT_NE(server.Err().find(c.message), std::string::npos) << server.Err();
    }
}

} // namespace
} // namespace statlume
