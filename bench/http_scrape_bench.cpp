// Scrapes per second of a Prometheus endpoint from keep-alive clients on loopback, one
// connection per benchmark thread, each from its own loopback address (127.0.0.2, ...) as
// separate scrapers would be. The endpoint comes from STATLUME_SCRAPE_TARGET
// ("127.0.0.1:9100"), so the same load can be aimed at statlume-cli --metrics and at another
// exporter in one run (bench/metrics_vs_node_exporter.sh does that). With
// STATLUME_SCRAPE_CA=FILE the scrapes go over TLS checked against that CA, and with
// STATLUME_SCRAPE_AUTH=USER:PASSWORD they carry basic authentication. Loopback only.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

class TScraper
{
public:
    TScraper(const std::string& target, int sourceIndex)
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
        sockaddr_in source{};
        source.sin_family = AF_INET;
        source.sin_addr.s_addr = htonl(0x7f000002u + static_cast<std::uint32_t>(sourceIndex));
        if (::bind(Fd, reinterpret_cast<const sockaddr*>(&source), sizeof source) != 0 ||
            ::connect(Fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
            !StartTls(host)) {
            ::close(Fd);
            Fd = -1;
        }
        if (const char* auth = std::getenv("STATLUME_SCRAPE_AUTH")) {
            std::string encoded(4 * ((std::strlen(auth) + 2) / 3) + 1, '\0');
            const int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(encoded.data()),
                                               reinterpret_cast<const unsigned char*>(auth),
                                               static_cast<int>(std::strlen(auth)));
            encoded.resize(static_cast<std::size_t>(std::max(length, 0)));
            Request = "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept-Encoding: "
                      "identity\r\nAuthorization: Basic " +
                      encoded + "\r\n\r\n";
        }
    }
    ~TScraper()
    {
        if (Ssl)
            SSL_free(Ssl);
        if (Context)
            SSL_CTX_free(Context);
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
        if (Send(Request) != static_cast<ssize_t>(Request.size()))
            return 0;
        std::size_t headEnd;
        while ((headEnd = Buffer.find("\r\n\r\n")) == std::string::npos) {
            if (!Receive())
                return 0;
        }
        const std::string head = Buffer.substr(0, headEnd);
        Buffer.erase(0, headEnd + 4);
        const std::size_t field = head.find("Content-Length: ");
        if (head.rfind("HTTP/1.1 200", 0) != 0)
            return 0;
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
    bool StartTls(const std::string& host)
    {
        const char* authority = std::getenv("STATLUME_SCRAPE_CA");
        if (authority == nullptr)
            return true;
        Context = SSL_CTX_new(TLS_client_method());
        if (Context == nullptr || SSL_CTX_load_verify_locations(Context, authority, nullptr) != 1)
            return false;
        SSL_CTX_set_verify(Context, SSL_VERIFY_PEER, nullptr);
        Ssl = SSL_new(Context);
        return Ssl != nullptr &&
               X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(Ssl), host.c_str()) == 1 &&
               SSL_set_fd(Ssl, Fd) == 1 && SSL_connect(Ssl) == 1;
    }

    ssize_t Send(const std::string& bytes)
    {
        if (Ssl)
            return SSL_write(Ssl, bytes.data(), static_cast<int>(bytes.size()));
        return ::send(Fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    }

    bool Receive()
    {
        char chunk[65536];
        const ssize_t count =
            Ssl ? SSL_read(Ssl, chunk, sizeof chunk) : ::recv(Fd, chunk, sizeof chunk, 0);
        if (count <= 0)
            return false;
        Buffer.append(chunk, static_cast<std::size_t>(count));
        return true;
    }

    int Fd = -1;
    SSL_CTX* Context = nullptr;
    SSL* Ssl = nullptr;
    std::string Request =
        "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept-Encoding: identity\r\n\r\n";
    std::string Buffer;
};

void BM_KeepAliveScrape(benchmark::State& state)
{
    const char* target = std::getenv("STATLUME_SCRAPE_TARGET");
    if (target == nullptr) {
        state.SkipWithError("set STATLUME_SCRAPE_TARGET=127.0.0.1:PORT");
        return;
    }
    TScraper scraper(target, state.thread_index());
    if (!scraper.Connected()) {
        state.SkipWithError("cannot connect to the loopback target");
        return;
    }
    // The first scrape pays for the password check; the figures are for the ones after it.
    const auto firstStart = std::chrono::steady_clock::now();
    if (scraper.Scrape() == 0) {
        state.SkipWithError("the first scrape failed");
        return;
    }
    const std::chrono::duration<double, std::micro> first =
        std::chrono::steady_clock::now() - firstStart;
    std::vector<double> micros;
    std::size_t bytes = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const std::size_t size = scraper.Scrape();
        micros.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                .count());
        if (size == 0) {
            state.SkipWithError("a scrape failed");
            break;
        }
        bytes += size;
    }
    std::nth_element(micros.begin(), micros.begin() + micros.size() / 2, micros.end());
    state.counters["median_us"] = benchmark::Counter(micros.empty() ? 0 : micros[micros.size() / 2],
                                                     benchmark::Counter::kAvgThreads);
    state.counters["first_us"] = benchmark::Counter(first.count(), benchmark::Counter::kAvgThreads);
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
    state.counters["scrapes"] = benchmark::Counter(static_cast<double>(state.iterations()));
    state.counters["scrapes_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_KeepAliveScrape)->Threads(10)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
