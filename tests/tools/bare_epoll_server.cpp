// bare-epoll-server: answers every "T" byte with 272 fixed bytes over plain epoll, as a
// yardstick for the server role's request rate. Loopback only, runs for a bounded time.

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "platform/linux/unique_fd.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr std::size_t RecordSize = 272;

struct TCounts
{
    unsigned long long Connections = 0;
    unsigned long long Requests = 0;
    unsigned long long SentBytes = 0;
    unsigned long long DroppedBytes = 0;
};

long Arg(int argc, char** argv, std::string_view name, long fallback, long low, long high)
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (name == argv[i]) {
            char* end = nullptr;
            const long value = std::strtol(argv[i + 1], &end, 10);
            if (*end != '\0' || value < low || value > high) {
                std::fprintf(stderr, "bad value for %s\n", argv[i]);
                std::exit(2);
            }
            return value;
        }
    }
    return fallback;
}

void Serve(int fd, const std::array<std::uint8_t, RecordSize>& record, TCounts& counts,
           bool& closed)
{
    std::uint8_t buffer[1024];
    const auto got = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) {
        closed = true;
        return;
    }
    for (ssize_t i = 0; i < got; ++i) {
        if (buffer[i] != 'T')
            continue;
        ++counts.Requests;
        const auto sent = ::send(fd, record.data(), record.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
        const auto taken = sent > 0 ? static_cast<std::size_t>(sent) : 0;
        counts.SentBytes += taken;
        counts.DroppedBytes += record.size() - taken;
        if (sent < 0 && errno != EAGAIN) {
            closed = true;
            return;
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    const long port = Arg(argc, argv, "--port", 0, 0, 65535);
    const long seconds = Arg(argc, argv, "--seconds", 30, 1, 3600);

    statlume::platform::TUniqueFd listener(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
    const int on = 1;
    ::setsockopt(listener.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listener.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener.Get(), SOMAXCONN) != 0 ||
        ::getsockname(listener.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        std::fprintf(stderr, "bare-epoll-server: %s\n", std::strerror(errno));
        return 1;
    }
    std::printf("listening on 127.0.0.1:%u\n", ntohs(address.sin_port));
    std::fflush(stdout);

    statlume::platform::TUniqueFd poller(::epoll_create1(0));
    epoll_event listen{};
    listen.events = EPOLLIN;
    listen.data.fd = listener.Get();
    ::epoll_ctl(poller.Get(), EPOLL_CTL_ADD, listener.Get(), &listen);

    std::array<std::uint8_t, RecordSize> record{};
    record[0] = 'T';
    TCounts counts;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    std::array<epoll_event, 256> events{};
    while (std::chrono::steady_clock::now() < end) {
        const int ready = ::epoll_wait(poller.Get(), events.data(), events.size(), 100);
        for (int i = 0; i < ready; ++i) {
            const int fd = events[i].data.fd;
            if (fd == listener.Get()) {
                const int peer = ::accept4(listener.Get(), nullptr, nullptr, SOCK_NONBLOCK);
                if (peer < 0)
                    continue;
                ++counts.Connections;
                epoll_event watch{};
                watch.events = EPOLLIN;
                watch.data.fd = peer;
                ::epoll_ctl(poller.Get(), EPOLL_CTL_ADD, peer, &watch);
                continue;
            }
            bool closed = false;
            Serve(fd, record, counts, closed);
            if (closed)
                ::close(fd);
        }
    }
    std::printf("connections=%llu requests=%llu sent=%llu dropped=%llu\n", counts.Connections,
                counts.Requests, counts.SentBytes, counts.DroppedBytes);
    return 0;
}
