#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/linux/unique_fd.h"

#include <QCoreApplication>

#include "support/free_port.h"
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace statlume::testing {

/// Runs the event loop until done() holds or the time is up; true when it held.
inline bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

/// A loopback TCP socket bound to a port the system chose; listening when asked.
inline platform::TUniqueFd BoundLoopback(bool listen, int& port)
{
    platform::TUniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(fd.Get(), reinterpret_cast<sockaddr*>(&address), size);
    if (listen) {
        ::listen(fd.Get(), 1);
    }
    ::getsockname(fd.Get(), reinterpret_cast<sockaddr*>(&address), &size);
    port = ntohs(address.sin_port);
    return fd;
}

/// A blocking loopback client for a helper thread (the server runs on the test's thread);
/// a receive buffer above 0 is set before connecting; from another loopback address
/// ("127.0.0.2") when one is given.
inline platform::TUniqueFd ConnectLoopback(int port, int receiveBuffer = 0,
                                           const char* from = nullptr)
{
    platform::TUniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (receiveBuffer > 0) {
        ::setsockopt(fd.Get(), SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    }
    if (from != nullptr) {
        sockaddr_in source{};
        source.sin_family = AF_INET;
        ::inet_pton(AF_INET, from, &source.sin_addr);
        ::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&source), sizeof source);
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::connect(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        fd.Reset();
    }
    return fd;
}

/// Sends "T" and reads one 272-byte reply, waiting at most limit; empty when none came.
inline std::vector<std::uint8_t> RequestRecord(int fd, std::chrono::milliseconds limit)
{
    const char request = 'T';
    if (::send(fd, &request, 1, MSG_NOSIGNAL) != 1) {
        return {};
    }
    std::vector<std::uint8_t> reply(272);
    std::size_t got = 0;
    const auto end = std::chrono::steady_clock::now() + limit;
    while (got < reply.size()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        pollfd watch{fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&watch, 1, static_cast<int>(left.count())) <= 0) {
            return {};
        }
        const auto n = ::recv(fd, reply.data() + got, reply.size() - got, 0);
        if (n <= 0) {
            return {};
        }
        got += static_cast<std::size_t>(n);
    }
    return reply;
}

} // namespace statlume::testing
