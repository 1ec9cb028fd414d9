#include "platform/linux/socket_io.h"

#include <algorithm>
#include <cerrno>

#include <arpa/inet.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>

namespace statlume::platform {

namespace {

/// The kernel send buffer asked for each connection (the kernel doubles it): a few replies.
constexpr int ConnectionSendBuffer = 4096;
constexpr int KeepAliveIdleSeconds = 60;
constexpr int KeepAliveIntervalSeconds = 10;
constexpr int KeepAliveProbes = 3;

} // namespace

TIoResult ReceiveOnce(int fd, std::uint8_t* bytes, std::size_t count)
{
    if (count == 0)
        return {};
    for (;;) {
        const auto got = ::recv(fd, bytes, count, MSG_DONTWAIT);
        if (got > 0)
            return {got};
        if (got == 0)
            return {0, 0, true};
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return {};
        return {-1, errno};
    }
}

TIoResult SendOnce(int fd, const void* bytes, std::size_t count)
{
    for (;;) {
        const auto sent = ::send(fd, bytes, count, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (sent >= 0)
            return {sent};
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return {0};
        return {-1, errno};
    }
}

void Drain(int fd)
{
    std::uint8_t sink[512];
    ReceiveOnce(fd, sink, sizeof sink);
}

void TuneServedConnection(int fd)
{
    const auto set = [fd](int level, int name, int value) {
        ::setsockopt(fd, level, name, &value, sizeof value);
    };
    set(SOL_SOCKET, SO_KEEPALIVE, 1);
    set(IPPROTO_TCP, TCP_KEEPIDLE, KeepAliveIdleSeconds);
    set(IPPROTO_TCP, TCP_KEEPINTVL, KeepAliveIntervalSeconds);
    set(IPPROTO_TCP, TCP_KEEPCNT, KeepAliveProbes);
    set(SOL_SOCKET, SO_SNDBUF, ConnectionSendBuffer);
}

bool SendQueueEmpty(int fd)
{
    int queued = 0;
    return ::ioctl(fd, SIOCOUTQ, &queued) == 0 && queued == 0;
}

std::array<std::uint8_t, 16> MappedAddressOf(const sockaddr_storage& peer)
{
    std::array<std::uint8_t, 16> address{};
    if (peer.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(peer);
        std::copy_n(v6.sin6_addr.s6_addr, 16, address.begin());
    } else if (peer.ss_family == AF_INET) {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(peer);
        address[10] = 0xFF;
        address[11] = 0xFF;
        std::copy_n(reinterpret_cast<const std::uint8_t*>(&v4.sin_addr.s_addr), 4,
                    address.begin() + 12);
    }
    return address;
}

std::string PeerTextOf(const sockaddr_storage& peer)
{
    const auto address = MappedAddressOf(peer);
    const bool mapped =
        std::all_of(address.begin(), address.begin() + 10, [](std::uint8_t b) { return b == 0; }) &&
        address[10] == 0xFF && address[11] == 0xFF;
    char text[INET6_ADDRSTRLEN] = {};
    std::uint16_t port = 0;
    if (peer.ss_family == AF_INET6)
        port = ntohs(reinterpret_cast<const sockaddr_in6&>(peer).sin6_port);
    else if (peer.ss_family == AF_INET)
        port = ntohs(reinterpret_cast<const sockaddr_in&>(peer).sin_port);
    else
        return "?";
    if (mapped) {
        ::inet_ntop(AF_INET, address.data() + 12, text, sizeof text);
        return std::string(text) + ":" + std::to_string(port);
    }
    ::inet_ntop(AF_INET6, address.data(), text, sizeof text);
    // Appended piece by piece: g++ 12 at -O3 warns falsely on "[" + std::string(...).
    std::string result(1, '[');
    result.append(text).append("]:").append(std::to_string(port));
    return result;
}

std::string PeerTextOfDescriptor(int fd)
{
    sockaddr_storage peer{};
    socklen_t size = sizeof peer;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &size) != 0)
        return "?";
    return PeerTextOf(peer);
}

std::string StripBrackets(const std::string& host)
{
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        return host.substr(1, host.size() - 2);
    return host;
}

} // namespace statlume::platform
