#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "exporter/metrics_exporter.h"
#include "exporter/test_hashes.h"

#include <boost/beast/core/detail/base64.hpp>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

namespace statlume {
namespace {

using namespace std::chrono_literals;

// A blocking loopback client with a bounded wait on every read.
class TClient
{
public:
    explicit TClient(std::uint16_t port)
        : Fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        Connected = ::connect(Fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
    ~TClient() { ::close(Fd); }
    TClient(const TClient&) = delete;
    TClient& operator=(const TClient&) = delete;

    void Send(const std::string& bytes) const
    {
        (void)::send(Fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    }

    // Everything until the peer closes or limit passes; Closed tells which.
    std::string ReadAll(std::chrono::milliseconds limit)
    {
        std::string text;
        const auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            pollfd poller{Fd, POLLIN, 0};
            if (::poll(&poller, 1, 20) <= 0)
                continue;
            char buffer[4096];
            const ssize_t count = ::recv(Fd, buffer, sizeof buffer, 0);
            if (count <= 0) {
                Closed = true;
                break;
            }
            text.append(buffer, static_cast<std::size_t>(count));
        }
        return text;
    }

    int Fd;
    bool Connected = false;
    bool Closed = false;
};

class MetricsExporterTest : public ::testing::Test
{
protected:
    void StartExporter(TExporterLimits limits, const std::string& users = "")
    {
        Exporter.emplace(Io, "9.9", limits);
        std::string reason;
        if (!users.empty()) {
            WriteWebConfig(users);
            auto web = TWebSetupSource::Load(WebConfig(), reason);
            ASSERT_TRUE(web) << reason;
            Exporter->UseWebConfig(std::move(*web), Err);
        }
        ASSERT_TRUE(Exporter->Start({"127.0.0.1", 0}, reason)) << reason;
        TMetricsSnapshot snapshot;
        snapshot.HasRecord = true;
        snapshot.Data.UptimeSecs = 4242;
        Exporter->Publish(snapshot);
        Loop = std::thread([this] { Io.run(); });
    }

    void TearDown() override
    {
        Io.stop();
        if (Loop.joinable())
            Loop.join();
        if (!Folder.empty())
            std::filesystem::remove_all(Folder);
    }

    std::string WebConfig()
    {
        if (Folder.empty()) {
            std::string pattern = ::testing::TempDir() + "statlume-web.XXXXXX";
            Folder = ::mkdtemp(pattern.data()) ? pattern : ".";
        }
        return Folder + "/web.yml";
    }

    // Replaced whole, as an editor saving it would.
    void WriteWebConfig(const std::string& users)
    {
        std::ofstream(WebConfig() + ".new") << "basic_auth_users:\n" << users;
        std::filesystem::rename(WebConfig() + ".new", WebConfig());
    }

    asio::io_context Io;
    asio::executor_work_guard<asio::io_context::executor_type> Work{Io.get_executor()};
    std::ostringstream Err;
    std::string Folder;
    std::optional<TMetricsExporter> Exporter;
    std::thread Loop;
};

// The Authorization line for user:password.
std::string Authorization(const std::string& userAndPassword)
{
    namespace base64 = boost::beast::detail::base64;
    std::string encoded(base64::encoded_size(userAndPassword.size()), '\0');
    encoded.resize(base64::encode(encoded.data(), userAndPassword.data(), userAndPassword.size()));
    return "Authorization: Basic " + encoded + "\r\n";
}

// The cost-4 hash at cost 12 (about 300 ms a check).
const std::string Cost12Hash = "$2y$12$pll1peMImldlJjPgM0q91.KHIMcbeY6i2rcHToi8yQ.DVEf2f796S";
// htpasswd -nbBC 4 "" 'other'
const std::string OtherHash = "$2y$04$pM6Mah3k9dVr5KTBtIvOCuypRwTBjGhW.BGwK0qOw/wuzNl/9gSe.";

// The status code of a reply; "none" when nothing came.
std::string StatusOf(const std::string& reply)
{
    return reply.size() >= 12 ? reply.substr(9, 3) : "none";
}

TEST_F(MetricsExporterTest, AnswersEveryKindOfRequestWithinItsBounds)
{
    StartExporter({16, 4, 8192, 2000ms});
    struct TCase
    {
        const char* name;
        std::string request;
        const char* statusLine;
        bool closes;
        const char* says = "";
    };
    const std::string bigHead =
        "GET /metrics HTTP/1.1\r\nX-Big: " + std::string(9000, 'a') + "\r\n\r\n";
    // Heads of a given length in many short header lines, sent in one write.
    const auto headOf = [](std::size_t length) {
        std::string head = "GET /metrics HTTP/1.1\r\n";
        while (head.size() + 12 + 9 <= length)
            head += "X-F: " + std::string(5, 'a') + "\r\n";
        head += "X-L: " + std::string(length - head.size() - 9, 'b') + "\r\n\r\n";
        return head;
    };
    const TCase cases[] = {
        {"metrics", "GET /metrics HTTP/1.1\r\nHost: x\r\n\r\n", "HTTP/1.1 200 OK\r\n", false},
        {"metrics with a query", "GET /metrics?x=1 HTTP/1.1\r\n\r\n", "HTTP/1.1 200 OK\r\n", false},
        {"HTTP/1.0 closes", "GET /metrics HTTP/1.0\r\n\r\n", "HTTP/1.1 200 OK\r\n", true},
        {"HTTP/1.0 asking to keep it is told so",
         "GET /metrics HTTP/1.0\r\nConnection: keep-alive\r\n\r\n", "HTTP/1.1 200 OK\r\n", false,
         "\r\nConnection: keep-alive\r\n"},
        {"other path", "GET / HTTP/1.1\r\n\r\n", "HTTP/1.1 404 Not Found\r\n", false},
        {"a path that only starts alike", "GET /metricsx HTTP/1.1\r\n\r\n", "HTTP/1.1 404", false},
        {"other method", "POST /metrics HTTP/1.1\r\nContent-Length: 0\r\n\r\n",
         "HTTP/1.1 405 Method Not Allowed\r\n", false},
        {"huge head", bigHead, "HTTP/1.1 431 ", true},
        {"garbage", "\x01\x02 nonsense\r\n\r\n", "HTTP/1.1 400 Bad Request\r\n", true},
        {"a body is refused", "GET /metrics HTTP/1.1\r\nContent-Length: 5\r\n\r\nhello",
         "HTTP/1.1 400", true},
        {"a chunked body is refused",
         "GET /metrics HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n",
         "HTTP/1.1 400", true},
        {"a head of exactly the limit", headOf(8192), "HTTP/1.1 200 OK\r\n", false},
        {"a head one byte over", headOf(8193), "HTTP/1.1 431 ", true},
        {"a head of 12,000 bytes in one write", headOf(12000), "HTTP/1.1 431 ", true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TClient client(Exporter->LocalPort());
        ASSERT_TRUE(client.Connected);
        client.Send(c.request);
        const std::string reply = client.ReadAll(c.closes ? 1500ms : 300ms);
        EXPECT_EQ(reply.rfind(c.statusLine, 0), 0u) << reply.substr(0, 200);
        EXPECT_EQ(client.Closed, c.closes);
        EXPECT_NE(reply.find(c.says), std::string::npos) << reply.substr(0, 300);
    }
}

TEST_F(MetricsExporterTest, KeepAliveServesPipelinedRequestsFromOnePublishedCopy)
{
    StartExporter({16, 4, 8192, 2000ms});
    TClient client(Exporter->LocalPort());
    client.Send("GET /metrics HTTP/1.1\r\n\r\nHEAD /metrics HTTP/1.1\r\n\r\n"
                "GET /metrics HTTP/1.1\r\nConnection: close\r\n\r\n");
    const std::string reply = client.ReadAll(1500ms);
    EXPECT_TRUE(client.Closed);
    std::size_t count = 0;
    for (std::size_t at = reply.find("HTTP/1.1 200"); at != std::string::npos;
         at = reply.find("HTTP/1.1 200", at + 1))
        ++count;
    EXPECT_EQ(count, 3u);
    std::size_t bodies = 0;
    for (std::size_t at = reply.find("statlume_uptime_seconds 4242"); at != std::string::npos;
         at = reply.find("statlume_uptime_seconds 4242", at + 1))
        ++bodies;
    EXPECT_EQ(bodies, 2u); // HEAD has none
}

TEST_F(MetricsExporterTest, SlowAndSilentClientsAreClosedAtTheDeadline)
{
    StartExporter({16, 4, 8192, 400ms});
    TClient silent(Exporter->LocalPort());
    TClient slow(Exporter->LocalPort());
    const auto start = std::chrono::steady_clock::now();
    // One byte every 100 ms never completes a head before the deadline.
    const std::string request = "GET /metrics HTTP/1.1\r\n\r\n";
    for (std::size_t i = 0; i < 6 && !slow.Closed; ++i) {
        slow.Send(request.substr(i, 1));
        slow.ReadAll(100ms);
    }
    slow.ReadAll(1000ms);
    silent.ReadAll(1000ms);
    EXPECT_TRUE(slow.Closed);
    EXPECT_TRUE(silent.Closed);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2000ms);
}

TEST_F(MetricsExporterTest, NewcomersCloseOnlyIdleConnectionsElseGoThemselves)
{
    struct TCase
    {
        const char* name;
        TExporterLimits limits;
        std::size_t held;     // opened first, in order, from the same address
        std::size_t answered; // the first ones of them that scraped once
        std::chrono::milliseconds wait;
        bool newcomerServed;
        std::vector<bool> closed;
    };
    const TCase cases[] = {
        {"a peer's share, one idle past the grace",
         {64, 3, 8192, 3000ms, 100ms},
         3,
         1,
         200ms,
         true,
         {false, true, false}},
        {"a peer's share, all scraping or fresh",
         {64, 3, 8192, 3000ms, 1000ms},
         3,
         1,
         0ms,
         false,
         {false, false, false}},
        {"a peer's share, all scraping",
         {64, 2, 8192, 3000ms, 0ms},
         2,
         2,
         200ms,
         false,
         {false, false}},
        {"the global cap", {3, 16, 8192, 3000ms, 1000ms}, 3, 1, 0ms, true, {false, true, false}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        Exporter.reset();
        Io.restart();
        Io.poll();
        StartExporter(c.limits);
        std::vector<std::unique_ptr<TClient>> held;
        for (std::size_t i = 0; i < c.held; ++i) {
            held.push_back(std::make_unique<TClient>(Exporter->LocalPort()));
            if (i < c.answered) {
                held.back()->Send("GET /metrics HTTP/1.1\r\n\r\n");
                EXPECT_EQ(held.back()->ReadAll(200ms).rfind("HTTP/1.1 200 OK", 0), 0u);
            }
        }
        std::this_thread::sleep_for(c.wait);
        TClient newcomer(Exporter->LocalPort());
        newcomer.Send("GET /metrics HTTP/1.1\r\n\r\n");
        const std::string reply = newcomer.ReadAll(300ms);
        EXPECT_EQ(reply.rfind("HTTP/1.1 200 OK", 0) == 0, c.newcomerServed) << reply.substr(0, 80);
        for (std::size_t i = 0; i < held.size(); ++i) {
            held[i]->Send("GET /metrics HTTP/1.1\r\n\r\n");
            const std::string again = held[i]->ReadAll(200ms);
            EXPECT_EQ(again.rfind("HTTP/1.1 200 OK", 0) != 0, c.closed[i]) << i;
        }
    }
}

TEST_F(MetricsExporterTest, PasswordChecksPastTheBoundGet429AtOnce)
{
    StartExporter({64, 16, 8192, 5000ms, 500ms, 2}, "  slow: " + Cost12Hash + "\n");
    std::vector<std::unique_ptr<TClient>> guesses;
    for (int i = 0; i < 4; ++i) {
        guesses.push_back(std::make_unique<TClient>(Exporter->LocalPort()));
        guesses.back()->Send("GET /metrics HTTP/1.1\r\nConnection: close\r\n" +
                             Authorization("slow:guess") + "\r\n");
    }
    std::map<std::string, int> statuses;
    for (const auto& guess : guesses)
        ++statuses[StatusOf(guess->ReadAll(4000ms))];
    EXPECT_EQ(statuses["401"], 2);
    EXPECT_EQ(statuses["429"], 2);
}

TEST_F(MetricsExporterTest, ARequestOnAKeptConnectionIsJudgedByTheConfigurationInForce)
{
    struct TCase
    {
        const char* name;
        std::string usersAfter;
        const char* status;
    };
    const TCase cases[] = {
        {"the user removed", "  other: " + Cost4Hash + "\n", "401"},
        {"the password changed", "  prometheus: " + OtherHash + "\n", "401"},
        {"another user added", "  prometheus: " + Cost4Hash + "\n  other: " + Cost4Hash + "\n",
         "200"},
    };
    const std::string request =
        "GET /metrics HTTP/1.1\r\n" + Authorization("prometheus:pass word") + "\r\n";
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        Exporter.reset();
        Folder.clear();
        Io.restart();
        Io.poll();
        StartExporter({}, "  prometheus: " + Cost4Hash + "\n");
        TClient client(Exporter->LocalPort());
        client.Send(request);
        EXPECT_EQ(StatusOf(client.ReadAll(500ms)), "200");
        WriteWebConfig(c.usersAfter);
        // The file is checked at most once a second.
        std::this_thread::sleep_for(1100ms);
        client.Send(request);
        EXPECT_EQ(StatusOf(client.ReadAll(500ms)), c.status);
    }
}

TEST(MetricsExporter, StartFailsWithTheSystemsReason)
{
    asio::io_context io;
    TMetricsExporter first(io, "v");
    std::string reason;
    ASSERT_TRUE(first.Start({"127.0.0.1", 0}, reason));
    TMetricsExporter second(io, "v");
    EXPECT_FALSE(second.Start({"127.0.0.1", first.LocalPort()}, reason));
    EXPECT_NE(reason.find("in use"), std::string::npos) << reason;
}

} // namespace
} // namespace statlume
