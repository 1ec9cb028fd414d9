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
#include <thread>
#include <vector>

#include "record/raw_data_shell.h"
#include "remote/blowfish_cipher.h"
#include "remote/request_detection.h"

#include <asio.hpp>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

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
    bool Flood = false;
    int Threads = 1;
    int Idle = 0;
    bool Amplify = false;
};

struct TCounts
{
    std::uint64_t Requests = 0;
    std::uint64_t BytesReceived = 0;
    std::uint64_t ValidRecords = 0;
    std::uint64_t Errors = 0;
    std::uint64_t Connected = 0;
    std::uint64_t GarbageSent = 0;
    std::uint64_t Replies = 0;
    std::uint64_t MinValid = UINT64_MAX;
    std::int64_t MaxGapMs = 0;

    void Add(const TCounts& other)
    {
        Requests += other.Requests;
        BytesReceived += other.BytesReceived;
        ValidRecords += other.ValidRecords;
        Errors += other.Errors;
        Connected += other.Connected;
        GarbageSent += other.GarbageSent;
        Replies += other.Replies;
        MinValid = std::min(MinValid, other.MinValid);
        MaxGapMs = std::max(MaxGapMs, other.MaxGapMs);
    }
};

/// Connections that send garbage at the same time, so a run of thousands stays within the
/// listen backlog.
constexpr int GarbageInFlight = 128;

/// The receive buffer of a client that never reads.
constexpr int NoReadReceiveBuffer = 4096;

const char* const Usage =
    "usage: statlume-loadgen --port PORT [--clients N] [--interval MS] [--seconds S]\n"
    "                        [--password TEXT] [--no-read] [--garbage N] [--flood]\n"
    "                        [--threads T] [--idle N] [--amplify]\n"
    "Connects N clients to 127.0.0.1:PORT; each sends \"T\" every MS milliseconds for S seconds\n"
    "and checks the 272-byte records it receives (decrypted with TEXT when given).\n"
    "--no-read: send requests, never read (4 KB receive buffer).  --garbage N: N more connections "
    "(128 at a time)\n"
    "that send random bytes and disconnect.  --flood: each client asks again as soon as a\n"
    "reply is complete (and after 200 ms without one).  --threads T: spread the clients over\n"
    "T threads.  Replies are counted as 272-byte units received; min_valid is the fewest valid\n"
    "records of one client, max_gap_ms the longest time a client went without one.\n"
    "--idle N: only open N connections that send nothing, hold them S seconds and count how\n"
    "many the server closed.  --amplify: only one connection that sends \"T\" as fast as it\n"
    "is taken for S seconds and never reads; then counts what the server sent back (bytes\n"
    "waiting in its receive queue; what the server still holds is not counted).\n"
    "Exit status 1 when any error was counted, 2 on bad arguments.\n";

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
        if (arg == "--flood") {
            options.Flood = true;
            continue;
        }
        if (arg == "--amplify") {
            options.Amplify = true;
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
        else if (arg == "--threads" && (number = value(1, 64)))
            options.Threads = static_cast<int>(*number);
        else if (arg == "--idle" && (number = value(1, 20000)))
            options.Idle = static_cast<int>(*number);
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
        Shell.OnData = [this] {
            ++Counts.ValidRecords;
            ++Valid;
            const auto now = Clock::now();
            MaxGap = std::max(MaxGap, now - LastValid);
            LastValid = now;
        };
        if (!Options.Password.empty())
            Cipher.SetKeyFromPassword(Options.Password);
    }

    void Start(const tcp::endpoint& server)
    {
        if (Options.NoRead) {
            // A small receive window closes after a few replies, so what the server goes on
            // sending shows in its own send queue within seconds.
            std::error_code ignored;
            Socket.open(server.protocol(), ignored);
            Socket.set_option(asio::socket_base::receive_buffer_size(NoReadReceiveBuffer), ignored);
        }
        Socket.async_connect(server, [this](std::error_code error) {
            if (error) {
                ++Counts.Errors;
                return;
            }
            ++Counts.Connected;
            Next = Clock::now();
            LastValid = Next;
            LastReply = Next;
            if (Options.Flood)
                Watchdog();
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
        if (Options.NoRead)
            return;
        // The time since the last valid record counts as a gap too.
        MaxGap = std::max(MaxGap, std::min(Clock::now(), End) - LastValid);
        Counts.MinValid = std::min(Counts.MinValid, Valid);
        Counts.MaxGapMs =
            std::max(Counts.MaxGapMs,
                     static_cast<std::int64_t>(
                         std::chrono::duration_cast<std::chrono::milliseconds>(MaxGap).count()));
    }

private:
    bool SendRequest()
    {
        const char request = static_cast<char>(statlume::RequestByte);
        // Sent once and never queued, as the client role does.
        const auto sent = ::send(Socket.native_handle(), &request, 1, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (sent == 1)
            ++Counts.Requests;
        else if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            ++Counts.Errors;
            return false;
        }
        return true;
    }

    // Flood mode asks again when a reply is lost (a request the server did not answer).
    void Watchdog()
    {
        Timer.expires_after(std::chrono::milliseconds(100));
        Timer.async_wait([this](std::error_code error) {
            if (error || Clock::now() >= End)
                return;
            if (Clock::now() - LastReply > std::chrono::milliseconds(200)) {
                LastReply = Clock::now();
                SendRequest();
            }
            Watchdog();
        });
    }

    void Tick()
    {
        if (Clock::now() >= End)
            return;
        if (!SendRequest() || Options.Flood)
            return;
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
            const std::size_t before = Received / statlume::RawDataSize;
            Received += n;
            const std::size_t replies = Received / statlume::RawDataSize - before;
            Counts.Replies += replies;
            if (!Options.Password.empty())
                Cipher.Decrypt(Chunk.data(), n);
            Shell.Feed(Chunk.data(), n);
            if (Options.Flood && replies > 0 && Received % statlume::RawDataSize == 0) {
                LastReply = Clock::now();
                Tick();
            }
            ReadMore();
        });
    }

    tcp::socket Socket;
    asio::steady_timer Timer;
    const TOptions& Options;
    TCounts& Counts;
    Clock::time_point End;
    Clock::time_point Next;
    Clock::time_point LastValid;
    Clock::time_point LastReply;
    Clock::duration MaxGap{};
    std::uint64_t Valid = 0;
    std::uint64_t Received = 0;
    statlume::TRawDataShell Shell;
    statlume::TBlowfishCipher Cipher;
    std::array<std::uint8_t, statlume::ClientReadSize> Chunk{};
};

/// Connections that each send a burst of random bytes and close, a bounded number at a time.
class TGarbageSender
{
public:
    TGarbageSender(asio::io_context& io, const tcp::endpoint& server, int total, TCounts& counts)
        : Io(io)
        , Server(server)
        , Left(total)
        , Counts(counts)
    {
    }

    void Start()
    {
        for (int i = 0; i < GarbageInFlight; ++i)
            Next();
    }

private:
    void Next()
    {
        if (Left == 0)
            return;
        --Left;
        auto socket = std::make_shared<tcp::socket>(Io);
        auto bytes = std::make_shared<std::vector<std::uint8_t>>(1 + Random() % 600);
        for (auto& byte : *bytes)
            byte = static_cast<std::uint8_t>(Random());
        socket->async_connect(Server, [this, socket, bytes](std::error_code error) {
            if (error) {
                ++Counts.Errors;
                Next();
                return;
            }
            asio::async_write(*socket, asio::buffer(*bytes),
                              [this, socket, bytes](std::error_code writeError, std::size_t) {
                                  if (writeError)
                                      ++Counts.Errors;
                                  else
                                      ++Counts.GarbageSent;
                                  std::error_code ignored;
                                  socket->close(ignored);
                                  Next();
                              });
        });
    }

    asio::io_context& Io;
    tcp::endpoint Server;
    int Left;
    TCounts& Counts;
    std::mt19937 Random{12345};
};

// A plain loopback connection whose connect gives up after a second (a server that does not
// accept leaves the handshake to the backlog, which may be full).
int ConnectPlain(std::uint16_t port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    const timeval second{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &second, sizeof second);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// True when the server has closed or reset the connection.
bool ClosedByPeer(int fd)
{
    char byte = 0;
    const auto got = ::recv(fd, &byte, 1, MSG_DONTWAIT | MSG_PEEK);
    return got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
}

int RunIdle(const TOptions& options)
{
    std::vector<int> fds;
    for (int i = 0; i < options.Idle; ++i) {
        const int fd = ConnectPlain(options.Port);
        if (fd >= 0)
            fds.push_back(fd);
    }
    std::this_thread::sleep_for(std::chrono::seconds(options.Seconds));
    const auto closed = std::count_if(fds.begin(), fds.end(), ClosedByPeer);
    std::printf("mode=idle idle=%d connected=%zu closed_by_server=%zd\n", options.Idle, fds.size(),
                closed);
    for (const int fd : fds)
        ::close(fd);
    return 0;
}

int RunAmplify(const TOptions& options)
{
    const int fd = ConnectPlain(options.Port);
    if (fd < 0) {
        std::printf("mode=amplify errors=1\n");
        return 1;
    }
    const std::string requests(4096, static_cast<char>(statlume::RequestByte));
    std::uint64_t sent = 0;
    const auto end = Clock::now() + std::chrono::seconds(options.Seconds);
    while (Clock::now() < end) {
        const auto n = ::send(fd, requests.data(), requests.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<std::uint64_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            break;
        pollfd writable{fd, POLLOUT, 0};
        ::poll(&writable, 1, 10);
    }
    // What the server sent while this client never read waits in its receive queue.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    int unread = 0;
    ::ioctl(fd, FIONREAD, &unread);
    ::close(fd);
    std::printf("mode=amplify bytes_in=%llu bytes_out=%d out_per_in=%.4f\n",
                static_cast<unsigned long long>(sent), unread,
                sent > 0 ? double(unread) / double(sent) : 0.0);
    return 0;
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
    if (options.Idle > 0)
        return RunIdle(options);
    if (options.Amplify)
        return RunAmplify(options);

    const tcp::endpoint server(asio::ip::address_v4::loopback(), options.Port);
    const auto begin = Clock::now();
    const auto end = begin + std::chrono::seconds(options.Seconds);
    // Replies to the last requests get a short grace period after the end.
    const auto stop = end + std::chrono::milliseconds(std::min(options.IntervalMs, 500)) +
                      std::chrono::milliseconds(100);

    // One loop per thread, each with its own clients and counts; summed at the end.
    const int threads = std::max(1, std::min(options.Threads, std::max(1, options.Clients)));
    std::vector<TCounts> perThread(static_cast<std::size_t>(threads));
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            TCounts& mine = perThread[static_cast<std::size_t>(t)];
            asio::io_context io;
            std::vector<std::unique_ptr<TPoller>> pollers;
            for (int i = t; i < options.Clients; i += threads) {
                pollers.push_back(std::make_unique<TPoller>(io, options, mine, end));
                pollers.back()->Start(server);
            }
            std::optional<TGarbageSender> garbage;
            if (t == 0 && options.Garbage > 0) {
                garbage.emplace(io, server, options.Garbage, mine);
                garbage->Start();
            }
            io.run_until(stop);
            for (auto& poller : pollers)
                poller->Stop();
            io.restart();
            io.poll();
        });
    }
    for (auto& worker : workers)
        worker.join();
    TCounts counts;
    for (const auto& part : perThread)
        counts.Add(part);
    if (counts.MinValid == UINT64_MAX)
        counts.MinValid = 0;

    // Rates over the polling time; the grace period only collects late replies.
    const double seconds = std::min(std::chrono::duration<double>(Clock::now() - begin).count(),
                                    double(options.Seconds));
    const auto invalid =
        counts.Replies > counts.ValidRecords ? counts.Replies - counts.ValidRecords : 0;
    std::printf("mode=%s clients=%d connected=%llu interval_ms=%d seconds=%d password=%s\n",
                options.NoRead ? "no-read" : "normal", options.Clients,
                static_cast<unsigned long long>(counts.Connected), options.IntervalMs,
                options.Seconds, options.Password.empty() ? "no" : "yes");
    std::printf(
        "requests=%llu bytes=%llu replies=%llu valid=%llu invalid=%llu errors=%llu "
        "garbage=%llu/%d requests_per_s=%.1f replies_per_s=%.1f records_per_s=%.1f "
        "min_valid=%llu max_gap_ms=%lld\n",
        static_cast<unsigned long long>(counts.Requests),
        static_cast<unsigned long long>(counts.BytesReceived),
        static_cast<unsigned long long>(counts.Replies),
        static_cast<unsigned long long>(counts.ValidRecords),
        static_cast<unsigned long long>(invalid), static_cast<unsigned long long>(counts.Errors),
        static_cast<unsigned long long>(counts.GarbageSent), options.Garbage,
        counts.Requests / seconds, counts.Replies / seconds, counts.ValidRecords / seconds,
        static_cast<unsigned long long>(counts.MinValid), static_cast<long long>(counts.MaxGapMs));
    if (!options.Password.empty() && options.Clients > 1)
        std::printf("note: the server's cipher chain is shared by all its clients, so with a "
                    "password and several clients most records fail the marker check\n");
    return counts.Errors > 0 ? 1 : 0;
}
