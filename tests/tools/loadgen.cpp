// statlume-loadgen: loopback clients that poll a server the way the client role does and
// check every record they receive.

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "collect/raw_data_shell.h"
#include "remote/blowfish_cipher.h"
#include "remote/request_detection.h"

#include <asio.hpp>
#include <sys/resource.h>
#include <sys/socket.h>

namespace {

using asio::ip::tcp;
using Clock = std::chrono::steady_clock;

struct TOptions
{
    std::uint16_t Port = 0;
    int Clients = 10;
    int IntervalMs = 100;
    int Seconds = 5;
    std::string Password;
    bool NoRead = false;
    int Garbage = 0;
};

struct TCounts
{
    std::uint64_t Requests = 0;
    std::uint64_t BytesReceived = 0;
    std::uint64_t ValidRecords = 0;
    std::uint64_t Errors = 0;
    std::uint64_t Connected = 0;
    std::uint64_t GarbageSent = 0;
};

const char* const Usage =
    "usage: statlume-loadgen --port PORT [--clients N] [--interval MS] [--seconds S]\n"
    "                        [--password TEXT] [--no-read] [--garbage N]\n"
    "Connects N clients to 127.0.0.1:PORT; each sends \"T\" every MS milliseconds for S seconds\n"
    "and checks the 272-byte records it receives (decrypted with TEXT when given).\n"
    "--no-read: send requests, never read.  --garbage N: N more connections that send random\n"
    "bytes and disconnect.  Exit status 1 when any error was counted, 2 on bad arguments.\n";

std::optional<long> Number(std::string_view text, long low, long high)
{
    char* end = nullptr;
    const std::string copy(text);
    const long value = std::strtol(copy.c_str(), &end, 10);
    if (copy.empty() || *end != '\0' || value < low || value > high)
        return std::nullopt;
    return value;
}

std::optional<TOptions> Parse(int argc, char** argv)
{
    TOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const auto value = [&](long low, long high) -> std::optional<long> {
            if (i + 1 >= argc)
                return std::nullopt;
            return Number(argv[++i], low, high);
        };
        std::optional<long> number;
        if (arg == "--no-read") {
            options.NoRead = true;
            continue;
        }
        if (arg == "--password" && i + 1 < argc) {
            options.Password = argv[++i];
            continue;
        }
        if (arg == "--port" && (number = value(1, 65535)))
            options.Port = static_cast<std::uint16_t>(*number);
        else if (arg == "--clients" && (number = value(0, 20000)))
            options.Clients = static_cast<int>(*number);
        else if (arg == "--interval" && (number = value(1, 60000)))
            options.IntervalMs = static_cast<int>(*number);
        else if (arg == "--seconds" && (number = value(1, 3600)))
            options.Seconds = static_cast<int>(*number);
        else if (arg == "--garbage" && (number = value(0, 100000)))
            options.Garbage = static_cast<int>(*number);
        else
            return std::nullopt;
    }
    if (options.Port == 0)
        return std::nullopt;
    return options;
}

/// One polling client: its own receive state and, with a password, its own cipher chain.
class TPoller
{
public:
    TPoller(asio::io_context& io, const TOptions& options, TCounts& counts, Clock::time_point end)
        : Socket(io)
        , Timer(io)
        , Options(options)
        , Counts(counts)
        , End(end)
    {
        Shell.OnData = [this] { ++Counts.ValidRecords; };
        if (!Options.Password.empty())
            Cipher.SetKeyFromPassword(Options.Password);
    }

    void Start(const tcp::endpoint& server)
    {
        Socket.async_connect(server, [this](std::error_code error) {
            if (error) {
                ++Counts.Errors;
                return;
            }
            ++Counts.Connected;
            Next = Clock::now();
            Tick();
            if (!Options.NoRead)
                ReadMore();
        });
    }

    void Stop()
    {
        std::error_code ignored;
        Timer.cancel();
        Socket.close(ignored);
    }

private:
    void Tick()
    {
        if (Clock::now() >= End)
            return;
        const char request = static_cast<char>(statlume::RequestByte);
        // Sent once and never queued, as the client role does.
        const auto sent = ::send(Socket.native_handle(), &request, 1, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (sent == 1)
            ++Counts.Requests;
        else if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            ++Counts.Errors;
            return;
        }
        // A fixed schedule, so the request rate does not drift with the handling time.
        Next += std::chrono::milliseconds(Options.IntervalMs);
        Timer.expires_at(Next);
        Timer.async_wait([this](std::error_code error) {
            if (!error)
                Tick();
        });
    }

    void ReadMore()
    {
        Socket.async_read_some(asio::buffer(Chunk), [this](std::error_code error, std::size_t n) {
            if (error) {
                if (error != asio::error::operation_aborted && Clock::now() < End)
                    ++Counts.Errors;
                return;
            }
            Counts.BytesReceived += n;
            if (!Options.Password.empty())
                Cipher.Decrypt(Chunk.data(), n);
            Shell.Feed(Chunk.data(), n);
            ReadMore();
        });
    }

    tcp::socket Socket;
    asio::steady_timer Timer;
    const TOptions& Options;
    TCounts& Counts;
    Clock::time_point End;
    Clock::time_point Next;
    statlume::TRawDataShell Shell;
    statlume::TBlowfishCipher Cipher;
    std::array<std::uint8_t, statlume::ClientReadSize> Chunk{};
};

/// A connection that sends a burst of random bytes and closes.
void SendGarbage(asio::io_context& io, const tcp::endpoint& server, std::mt19937& random,
                 TCounts& counts)
{
    auto socket = std::make_shared<tcp::socket>(io);
    auto bytes = std::make_shared<std::vector<std::uint8_t>>(1 + random() % 600);
    for (auto& byte : *bytes)
        byte = static_cast<std::uint8_t>(random());
    socket->async_connect(server, [socket, bytes, &counts](std::error_code error) {
        if (error) {
            ++counts.Errors;
            return;
        }
        asio::async_write(*socket, asio::buffer(*bytes),
                          [socket, bytes, &counts](std::error_code writeError, std::size_t) {
                              if (writeError)
                                  ++counts.Errors;
                              else
                                  ++counts.GarbageSent;
                              std::error_code ignored;
                              socket->close(ignored);
                          });
    });
}

void RaiseDescriptorLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

} // namespace

int main(int argc, char** argv)
{
    const auto parsed = Parse(argc, argv);
    if (!parsed) {
        std::fputs(Usage, stderr);
        return 2;
    }
    const TOptions& options = *parsed;
    RaiseDescriptorLimit();

    asio::io_context io;
    const tcp::endpoint server(asio::ip::address_v4::loopback(), options.Port);
    const auto begin = Clock::now();
    const auto end = begin + std::chrono::seconds(options.Seconds);
    TCounts counts;

    std::vector<std::unique_ptr<TPoller>> pollers;
    for (int i = 0; i < options.Clients; ++i) {
        pollers.push_back(std::make_unique<TPoller>(io, options, counts, end));
        pollers.back()->Start(server);
    }
    std::mt19937 random(12345);
    for (int i = 0; i < options.Garbage; ++i)
        SendGarbage(io, server, random, counts);

    // Replies to the last requests get a short grace period after the end.
    io.run_until(end + std::chrono::milliseconds(std::min(options.IntervalMs, 500)) +
                 std::chrono::milliseconds(100));
    for (auto& poller : pollers)
        poller->Stop();
    io.restart();
    io.poll();

    const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    const auto framed = counts.BytesReceived / statlume::RawDataSize;
    const auto invalid = framed > counts.ValidRecords ? framed - counts.ValidRecords : 0;
    std::printf("mode=%s clients=%d connected=%llu interval_ms=%d seconds=%d password=%s\n",
                options.NoRead ? "no-read" : "normal", options.Clients,
                static_cast<unsigned long long>(counts.Connected), options.IntervalMs,
                options.Seconds, options.Password.empty() ? "no" : "yes");
    std::printf("requests=%llu bytes=%llu valid=%llu invalid=%llu errors=%llu garbage=%llu/%d "
                "requests_per_s=%.1f records_per_s=%.1f\n",
                static_cast<unsigned long long>(counts.Requests),
                static_cast<unsigned long long>(counts.BytesReceived),
                static_cast<unsigned long long>(counts.ValidRecords),
                static_cast<unsigned long long>(invalid),
                static_cast<unsigned long long>(counts.Errors),
                static_cast<unsigned long long>(counts.GarbageSent), options.Garbage,
                counts.Requests / seconds, counts.ValidRecords / seconds);
    if (!options.Password.empty() && options.Clients > 1)
        std::printf("note: the server's cipher chain is shared by all its clients, so with a "
                    "password and several clients most records fail the marker check\n");
    return counts.Errors > 0 ? 1 : 0;
}
