#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/asio_socket_layer.h"
#include "record/raw_data.h"
#include "remote/client_role.h"
#include "remote/request_detection.h"
#include "remote/server_role.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace statlume {
namespace {

using namespace std::chrono_literals;

// Runs the loop until done() holds or the time is up; every wait in these tests is bounded.
bool RunUntil(asio::io_context& io, const std::function<bool()>& done,
              std::chrono::milliseconds limit = 1500ms)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done() && std::chrono::steady_clock::now() < end) {
        io.restart();
        io.run_for(2ms);
    }
    return done();
}

/// A server role and a client role over real loopback sockets in one loop.
struct TLoopback
{
    explicit TLoopback(const std::string& password = "")
    {
        ServerShell.Data.Marker = 'T';
        ServerShell.Data.UptimeSecs = 4321;
        ServerShell.Data.ComputerName.Assign("loopback");
        ServerSecret.Password = password;
        ClientSecret.Password = password;
        ServerSocket.SetPort(0);
        ClientShell.OnData = [this] { ++Records; };
        Client.SetHost("127.0.0.1");
    }

    bool StartServer()
    {
        if (!Server.Start())
            return false;
        Client.SetPort(ServerSocket.LocalPort());
        return true;
    }

    bool Request()
    {
        const auto before = Records;
        Client.Tick();
        return RunUntil(Io, [&] { return Records > before; });
    }

    asio::io_context Io;
    TAsioServerSocket ServerSocket{Io};
    TRawDataShell ServerShell;
    TRemoteSecret ServerSecret;
    TServerRole Server{ServerSocket, ServerShell, ServerSecret};
    TAsioClientSocket ClientSocket{Io};
    TRawDataShell ClientShell;
    TRemoteSecret ClientSecret;
    TClientRole Client{ClientSocket, ClientShell, ClientSecret};
    int Records = 0;
};

TEST(AsioSocketLayer, RolesExchangeRecordsWithAndWithoutPassword)
{
    struct TRow
    {
        const char* name;
        std::string password;
        std::size_t allowance;
    };
    for (const TRow& row : {TRow{"clear", "", 0}, TRow{"encrypted", "secret", 0},
                            TRow{"clear, reads bounded", "", ClientReadSize},
                            TRow{"encrypted, reads bounded", "secret", ClientReadSize}}) {
        SCOPED_TRACE(row.name);
        TLoopback net(row.password);
        net.ClientSocket.SetReadAllowance(row.allowance);
        ASSERT_TRUE(net.StartServer());
        ASSERT_NE(net.ServerSocket.LocalPort(), 0);
        net.Client.Start();
        ASSERT_TRUE(RunUntil(net.Io, [&] { return net.Client.Connected(); }));
        for (int i = 0; i < 3; ++i) {
            net.ServerShell.Data.UptimeSecs = 100 + i;
            ASSERT_TRUE(net.Request());
            EXPECT_EQ(net.ClientShell.Data.UptimeSecs, 100 + i);
            EXPECT_EQ(net.ClientShell.Data.ComputerName.Text(), "loopback");
        }
        EXPECT_EQ(net.Records, 3);
        EXPECT_FALSE(net.Client.Alert());
        EXPECT_EQ(net.ServerSocket.Stats().DroppedBytes, 0u);
    }
}

TEST(AsioSocketLayer, ClientReadsOnlyWhatEachRequestAllows)
{
    struct TRow
    {
        const char* name;
        std::size_t allowance;
    };
    for (const TRow row : {TRow{"unbounded", 0}, TRow{"bounded", ClientReadSize}}) {
        SCOPED_TRACE(row.name);
        asio::io_context io;
        asio::ip::tcp::acceptor acceptor(io, {asio::ip::address_v4::loopback(), 0});
        TAsioClientSocket client(io);
        client.SetReadAllowance(row.allowance);
        std::size_t received = 0;
        client.OnRead = [&] {
            std::array<std::uint8_t, 4096> chunk{};
            const auto got = client.Read(chunk.data(), chunk.size());
            received += got > 0 ? static_cast<std::size_t>(got) : 0;
        };
        client.SetHost("127.0.0.1");
        client.SetPort(acceptor.local_endpoint().port());
        client.Open();
        ASSERT_TRUE(RunUntil(io, [&] { return client.Connected(); }));

        // A peer that sends as fast as the connection takes it, unasked.
        asio::ip::tcp::socket flooder(io);
        acceptor.accept(flooder);
        flooder.non_blocking(true);
        const std::vector<std::uint8_t> burst(16 * 1024, 'T');
        std::size_t sent = 0;
        const auto flood = [&] {
            std::error_code ignored;
            sent += flooder.send(asio::buffer(burst), 0, ignored);
            return false;
        };
        for (std::size_t request = 1; request <= 2; ++request) {
            SCOPED_TRACE("request " + std::to_string(request));
            ASSERT_EQ(client.Write("T"), 1);
            RunUntil(io, flood, 300ms);
            const std::size_t expected = row.allowance == 0 ? sent : request * row.allowance;
            EXPECT_TRUE(RunUntil(io, [&] { return received == expected; })) << received;
            EXPECT_GT(sent, 4 * ClientReadSize);
        }
        EXPECT_TRUE(client.Connected());
    }
}

TEST(AsioSocketLayer, PortInUseFailsWithTheOsReason)
{
    TLoopback first;
    ASSERT_TRUE(first.StartServer());
    TLoopback second;
    std::string failure;
    second.Server.OnFailure = [&](const std::string& message) { failure = message; };
    ASSERT_TRUE(second.Server.SetPort(first.ServerSocket.LocalPort()));
    EXPECT_FALSE(second.Server.Start());
    EXPECT_FALSE(second.Server.Listening());
    EXPECT_NE(failure.find("(98), on API 'bind'"), std::string::npos) << failure;
}

// A raw loopback connection that sends requests and never reads.
class TSilentPeer
{
public:
    /// Connects from the loopback address from (host order; 127.0.0.1 by default).
    explicit TSilentPeer(std::uint16_t port, std::uint32_t from = INADDR_LOOPBACK)
    {
        Fd = ::socket(AF_INET, SOCK_STREAM, 0);
        const int small = 4096;
        ::setsockopt(Fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        sockaddr_in source{};
        source.sin_family = AF_INET;
        source.sin_addr.s_addr = htonl(from);
        ::bind(Fd, reinterpret_cast<sockaddr*>(&source), sizeof source);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        Connected = ::connect(Fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~TSilentPeer() { ::close(Fd); }
    TSilentPeer(const TSilentPeer&) = delete;
    TSilentPeer& operator=(const TSilentPeer&) = delete;

    /// Sends what the socket takes now of a block of requests; the bytes sent.
    std::size_t SendSome()
    {
        const std::string requests(4096, 'T');
        const auto sent = ::send(Fd, requests.data(), requests.size(), MSG_DONTWAIT);
        return sent > 0 ? static_cast<std::size_t>(sent) : 0;
    }

    int Fd = -1;
    bool Connected = false;
};

TEST(AsioSocketLayer, PeerThatNeverReadsGetsNoMoreThanItTakesAndStarvesNoOne)
{
    TLoopback net;
    ASSERT_TRUE(net.StartServer());
    net.Client.Start();
    ASSERT_TRUE(RunUntil(net.Io, [&] { return net.Client.Connected(); }));

    TSilentPeer silent(net.ServerSocket.LocalPort());
    ASSERT_TRUE(silent.Connected);
    std::size_t requested = 0;
    const auto& stats = net.ServerSocket.Stats();
    RunUntil(
        net.Io,
        [&] {
            requested += silent.SendSome();
            return net.Server.SkippedReplies() > 100 && requested > 200'000;
        },
        2000ms);
    // Replies wait for the last one to be taken, so what the peer cannot read stays small,
    // whatever it asks: far less out than in.
    EXPECT_GT(net.Server.SkippedReplies(), 100u);
    EXPECT_LT(stats.SentBytes, 64u * 1024u);
    EXPECT_LT(stats.SentBytes, requested / 2);
    EXPECT_EQ(stats.SentBytes + stats.DroppedBytes, net.Server.Replies() * RawDataSize);

    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(net.Request());
    EXPECT_EQ(net.ClientShell.Data.UptimeSecs, 4321);
    EXPECT_EQ(net.ServerSocket.ConnectionCount(), 2u);
}

TEST(AsioSocketLayer, SilentConnectionsTimeOutAndYieldToNewcomersAtTheCap)
{
    TLoopback net;
    TServeLimits limits;
    limits.MaxClients = 3;
    net.ServerSocket.SetLimits(limits);
    net.ServerSocket.SetIdleTimeout(400ms);
    std::vector<TConnectionNotice> notices;
    net.ServerSocket.OnNotice = [&](TConnectionNotice notice, const std::string& peer) {
        notices.push_back(notice);
        EXPECT_EQ(peer.rfind("127.0.0.1:", 0), 0u) << peer;
    };
    ASSERT_TRUE(net.StartServer());
    net.Client.Start();
    ASSERT_TRUE(RunUntil(net.Io, [&] { return net.Client.Connected(); }));
    ASSERT_TRUE(net.Request());

    // Five silent peers at a cap of three: each newcomer pushes out a silent one, never the
    // client that polls.
    std::vector<std::unique_ptr<TSilentPeer>> silent;
    for (int i = 0; i < 5; ++i) {
        silent.push_back(std::make_unique<TSilentPeer>(net.ServerSocket.LocalPort()));
        RunUntil(
            net.Io, [&] { return net.ServerSocket.Stats().Accepted == 2u + i; }, 500ms);
    }
    EXPECT_EQ(net.ServerSocket.ConnectionCount(), 3u);
    EXPECT_EQ(net.ServerSocket.Stats().Evicted, 3u);
    ASSERT_TRUE(net.Request());

    // The client keeps polling; the silent ones are closed once the time-out has passed.
    RunUntil(
        net.Io,
        [&] {
            net.Client.Tick();
            return net.ServerSocket.ConnectionCount() == 1;
        },
        1500ms);
    EXPECT_EQ(net.ServerSocket.ConnectionCount(), 1u);
    EXPECT_EQ(net.ServerSocket.Stats().TimedOut, 2u);
    EXPECT_EQ(notices.size(), 5u);
    EXPECT_TRUE(net.Client.Connected());
    EXPECT_TRUE(net.Request());
}

TEST(AsioSocketLayer, OneAddressCannotPushAnotherOff)
{
    TLoopback net;
    TServeLimits limits;
    limits.MaxClients = 4;
    limits.MaxPerAddress = 2;
    net.ServerSocket.SetLimits(limits);
    ASSERT_TRUE(net.StartServer());
    net.Client.Start();
    ASSERT_TRUE(RunUntil(net.Io, [&] { return net.Client.Connected(); }));
    ASSERT_TRUE(net.Request());

    // 127.0.0.2 floods past its own cap, then 127.0.0.3 arrives at the cap in all: each time
    // the address holding the most gives way, never the client's.
    std::vector<std::unique_ptr<TSilentPeer>> silent;
    const std::uint32_t flooder = INADDR_LOOPBACK + 1;
    const std::uint32_t latecomer = INADDR_LOOPBACK + 2;
    for (const std::uint32_t from :
         {flooder, flooder, flooder, flooder, flooder, latecomer, latecomer, latecomer}) {
        const auto accepted = net.ServerSocket.Stats().Accepted;
        silent.push_back(std::make_unique<TSilentPeer>(net.ServerSocket.LocalPort(), from));
        RunUntil(
            net.Io, [&] { return net.ServerSocket.Stats().Accepted == accepted + 1; }, 500ms);
    }
    EXPECT_EQ(net.ServerSocket.ConnectionCount(), 4u);
    EXPECT_EQ(net.ServerSocket.Stats().Evicted, 5u);
    EXPECT_TRUE(net.Client.Connected());
    EXPECT_TRUE(net.Request());
}

bool IPv6LoopbackAvailable()
{
    const int fd = ::socket(AF_INET6, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    address.sin6_addr = in6addr_loopback;
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return bound;
}

TEST(AsioSocketLayer, BindAddressAndAllowedRangesDecideWhoIsServed)
{
    struct TRow
    {
        const char* name;
        const char* bind;
        const char* allow;
        const char* clientHost;
        bool served;
        bool ipv6;
    };
    const TRow rows[] = {
        {"IPv4 loopback bind", "127.0.0.1", "", "127.0.0.1", true, false},
        {"IPv4 peer outside the ranges is refused", "127.0.0.1", "10.0.0.0/8", "127.0.0.1", false,
         false},
        {"IPv4 peer inside the ranges", "127.0.0.1", "10.0.0.0/8,127.0.0.0/8", "127.0.0.1", true,
         false},
        {"IPv6 literal", "::1", "", "::1", true, true},
        {"IPv6 literal in brackets", "[::1]", "::1/128", "[::1]", true, true},
        {"IPv6 peer outside an IPv4 range", "::1", "127.0.0.0/8", "::1", false, true},
        {"IPv6 bind does not serve IPv4", "::1", "", "127.0.0.1", false, true},
    };
    const bool haveIPv6 = IPv6LoopbackAvailable();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.ipv6 && !haveIPv6) {
            std::printf("skipped: ::1 is not available on this machine\n");
            continue;
        }
        TLoopback net;
        TServeLimits limits;
        limits.BindAddress = row.bind;
        std::string bad;
        if (*row.allow != '\0')
            limits.Allow = ParseCidrList(row.allow, bad).value();
        net.ServerSocket.SetLimits(limits);
        ASSERT_TRUE(net.StartServer());
        EXPECT_TRUE(net.ServerSocket.LoopbackOnly());
        net.Client.SetHost(row.clientHost);
        net.Client.Start();
        RunUntil(net.Io, [&] { return net.Client.Connected() || net.Client.Alert(); });
        const bool served = net.Client.Connected() && net.Request();
        EXPECT_EQ(served, row.served);
        if (served) {
            EXPECT_EQ(net.ClientShell.Data.ComputerName.Text(), "loopback");
        }
        EXPECT_EQ(net.ServerSocket.Stats().Refused, *row.allow != '\0' && !row.served ? 1u : 0u);
    }
}

TEST(AsioSocketLayer, UnboundServerTakesBothFamiliesOnOneSocket)
{
    if (!IPv6LoopbackAvailable())
        GTEST_SKIP() << "::1 is not available on this machine";
    TLoopback net;
    // Every address, as by default; only loopback clients connect.
    ASSERT_TRUE(net.StartServer());
    EXPECT_TRUE(net.ServerSocket.ListensOnIPv6());
    for (const char* host : {"::1", "127.0.0.1"}) {
        SCOPED_TRACE(host);
        net.Client.Stop();
        net.Client.SetHost(host);
        net.Client.Start();
        ASSERT_TRUE(RunUntil(net.Io, [&] { return net.Client.Connected(); }));
        EXPECT_TRUE(net.Request());
    }
}

TEST(AsioSocketLayer, ClientConnectsOnATickAfterTheServerComesUp)
{
    TLoopback net;
    ASSERT_TRUE(net.StartServer());
    const auto port = net.ServerSocket.LocalPort();
    net.Server.Stop();

    std::vector<bool> alerts;
    net.Client.OnAlert = [&](bool alert) { alerts.push_back(alert); };
    net.Client.Start();
    ASSERT_TRUE(RunUntil(net.Io, [&] { return net.Client.Alert(); }));
    EXPECT_FALSE(net.Client.Connected());

    ASSERT_TRUE(net.Server.SetPort(port));
    ASSERT_TRUE(net.Server.Start());
    net.Client.Tick();
    ASSERT_TRUE(RunUntil(net.Io, [&] { return net.Client.Connected(); }));
    EXPECT_FALSE(net.Client.Alert());
    EXPECT_TRUE(net.Request());
    EXPECT_EQ(alerts, (std::vector<bool>{true, false}));
}

TEST(AsioSocketLayer, ClientSeesTheServerCloseAndRecoversWhenItReturns)
{
    TLoopback net;
    ASSERT_TRUE(net.StartServer());
    const auto port = net.ServerSocket.LocalPort();
    net.Client.Start();
    ASSERT_TRUE(RunUntil(net.Io, [&] { return net.Client.Connected(); }));
    ASSERT_TRUE(net.Request());

    net.Server.Stop();
    ASSERT_TRUE(RunUntil(net.Io, [&] { return net.Client.Alert(); }));
    EXPECT_FALSE(net.Client.Connected());

    ASSERT_TRUE(net.Server.SetPort(port));
    ASSERT_TRUE(net.Server.Start());
    ASSERT_TRUE(RunUntil(net.Io, [&] {
        if (!net.Client.Connected())
            net.Client.Tick();
        return net.Client.Connected();
    }));
    EXPECT_TRUE(net.Request());
    EXPECT_FALSE(net.Client.Alert());
}

TEST(AsioSocketLayer, ReplacedAttemptsAreReleased)
{
    TLoopback net;
    ASSERT_TRUE(net.StartServer());
    int connects = 0;
    net.ClientSocket.SetHost("127.0.0.1");
    net.ClientSocket.SetPort(net.ServerSocket.LocalPort());
    net.ClientSocket.OnConnect = [&] { ++connects; };

    // Attempts replaced before the loop ran: only the last one may ever connect.
    for (int i = 0; i < 5; ++i)
        net.ClientSocket.Open();
    ASSERT_TRUE(RunUntil(net.Io, [&] { return net.ClientSocket.Connected(); }));
    RunUntil(
        net.Io, [&] { return net.ServerSocket.ConnectionCount() == 1; }, 500ms);
    EXPECT_EQ(connects, 1);
    EXPECT_EQ(net.ServerSocket.ConnectionCount(), 1u);

    // Attempts replaced at any stage, connected or not: every replaced socket is closed, so
    // the server ends with one connection whatever stage each attempt reached.
    for (int i = 0; i < 5; ++i) {
        net.ClientSocket.Open();
        net.Io.restart();
        net.Io.poll();
    }
    ASSERT_TRUE(RunUntil(net.Io, [&] { return net.ClientSocket.Connected(); }));
    RunUntil(
        net.Io, [&] { return net.ServerSocket.ConnectionCount() == 1; }, 500ms);
    EXPECT_EQ(net.ServerSocket.ConnectionCount(), 1u);
}

std::size_t OpenDescriptors()
{
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

TEST(AsioSocketLayer, RepeatedAttemptsAndClosesLeakNoDescriptor)
{
    TLoopback net;
    ASSERT_TRUE(net.StartServer());
    net.Client.Start();
    ASSERT_TRUE(RunUntil(net.Io, [&] { return net.Client.Connected(); }));
    net.Client.Stop();
    RunUntil(
        net.Io, [&] { return net.ServerSocket.ConnectionCount() == 0; }, 500ms);
    const auto baseline = OpenDescriptors();
    for (int i = 0; i < 50; ++i) {
        net.ClientSocket.Open();
        net.Io.restart();
        net.Io.run_for(1ms);
    }
    net.Client.Stop();
    RunUntil(
        net.Io, [&] { return net.ServerSocket.ConnectionCount() == 0; }, 500ms);
    EXPECT_EQ(net.ServerSocket.ConnectionCount(), 0u);
    EXPECT_EQ(OpenDescriptors(), baseline);
}

TEST(AsioSocketLayer, FailedLookupIsAnErrorEvent)
{
    asio::io_context io;
    TAsioClientSocket socket(io);
    std::vector<TSocketOp> errors;
    std::vector<std::string> reports;
    socket.OnError = [&](TSocketOp op, int&) { errors.push_back(op); };
    socket.OnReport = [&](const std::string& message) { reports.push_back(message); };
    socket.SetHost("name.invalid");
    socket.SetPort(6130);
    socket.Open();
    // Generous: a resolver whose name server does not answer fails only at its time-out.
    ASSERT_TRUE(RunUntil(
        io, [&] { return !errors.empty(); }, 20000ms));
    EXPECT_EQ(errors.front(), TSocketOp::Lookup);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("on API 'lookup'"), std::string::npos);
    EXPECT_FALSE(socket.Connected());
}

} // namespace
} // namespace statlume
