// Scrapes per second of a Prometheus endpoint from keep-alive clients on loopback, one
// connection per benchmark thread. The endpoint comes from STATLUME_SCRAPE_TARGET
// ("127.0.0.1:9100"), so the same load can be aimed at statlume-cli --metrics and at another
// exporter in one run (bench/metrics_vs_node_exporter.sh does that). Loopback only.
#include <cstdlib>
#include <string>
#include <string_view>

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

class TScraper
{
public:
    explicit TScraper(const std::string& target)
    {
        const std::size_t colon = target.rfind(':');
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(std::atoi(target.c_str() + colon + 1)));
        const std::string host = target.substr(0, colon);
        // Loopback only, whatever the variable says.
        if (::inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1 ||
            (ntohl(address.sin_addr.s_addr) >> 24) != 127)
            return;
        Fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const timeval limit{5, 0};
        ::setsockopt(Fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        const int one = 1;
        ::setsockopt(Fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        if (::connect(Fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            ::close(Fd);
            Fd = -1;
        }
    }
    ~TScraper()
    {
        if (Fd >= 0)
            ::close(Fd);
    }
    TScraper(const TScraper&) = delete;
    TScraper& operator=(const TScraper&) = delete;

    bool Connected() const { return Fd >= 0; }

    // One GET /metrics on the kept connection; the body's size, or 0 on any failure. Reads
    // bodies with Content-Length and chunked ones (as Go's HTTP server sends large replies).
    std::size_t Scrape()
    {
        static constexpr std::string_view Request =
            "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept-Encoding: identity\r\n\r\n";
        if (::send(Fd, Request.data(), Request.size(), MSG_NOSIGNAL) !=
            static_cast<ssize_t>(Request.size()))
            return 0;
        std::size_t headEnd;
        while ((headEnd = Buffer.find("\r\n\r\n")) == std::string::npos) {
            if (!Receive())
                return 0;
        }
        const std::string head = Buffer.substr(0, headEnd);
        Buffer.erase(0, headEnd + 4);
        const std::size_t field = head.find("Content-Length: ");
        if (field != std::string::npos) {
            const std::size_t length = std::strtoul(head.c_str() + field + 16, nullptr, 10);
            while (Buffer.size() < length) {
                if (!Receive())
                    return 0;
            }
            Buffer.erase(0, length);
            return length;
        }
        if (head.find("Transfer-Encoding: chunked") == std::string::npos)
            return 0;
        std::size_t total = 0;
        while (true) {
            std::size_t lineEnd;
            while ((lineEnd = Buffer.find("\r\n")) == std::string::npos) {
                if (!Receive())
                    return 0;
            }
            const std::size_t size = std::strtoul(Buffer.c_str(), nullptr, 16);
            while (Buffer.size() < lineEnd + 2 + size + 2) {
                if (!Receive())
                    return 0;
            }
            Buffer.erase(0, lineEnd + 2 + size + 2);
            if (size == 0)
                return total;
            total += size;
        }
    }

private:
    bool Receive()
    {
        char chunk[65536];
        const ssize_t count = ::recv(Fd, chunk, sizeof chunk, 0);
        if (count <= 0)
            return false;
        Buffer.append(chunk, static_cast<std::size_t>(count));
        return true;
    }

    int Fd = -1;
    std::string Buffer;
};

void BM_KeepAliveScrape(benchmark::State& state)
{
    const char* target = std::getenv("STATLUME_SCRAPE_TARGET");
    if (target == nullptr) {
        state.SkipWithError("set STATLUME_SCRAPE_TARGET=127.0.0.1:PORT");
        return;
    }
    TScraper scraper(target);
    if (!scraper.Connected()) {
        state.SkipWithError("cannot connect to the loopback target");
        return;
    }
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::size_t size = scraper.Scrape();
        if (size == 0) {
            state.SkipWithError("a scrape failed");
            break;
        }
        bytes += size;
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
    state.counters["scrapes"] = benchmark::Counter(static_cast<double>(state.iterations()));
    state.counters["scrapes_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_KeepAliveScrape)->Threads(10)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
