#pragma once

#include <fstream>
#include <random>

#include "platform/linux/unique_fd.h"

#include <netinet/in.h>
#include <sys/socket.h>

namespace statlume::testing {

/// A TCP port that was free a moment ago, on every address. It is drawn from outside the
/// kernel's range for outgoing connections: a port the kernel chose for a bind to port 0
/// lies in that range, and any test running beside this one can be handed it for a connect
/// in the moment before the server under test binds it.
inline int FreeLoopbackPort()
{
    int outgoingLow = 32768;
    int outgoingHigh = 60999;
    std::ifstream("/proc/sys/net/ipv4/ip_local_port_range") >> outgoingLow >> outgoingHigh;
    const bool belowRange = outgoingLow > 12000;
    const int first = belowRange ? 10000 : outgoingHigh + 1;
    const int last = belowRange ? outgoingLow - 1 : 65535;
    if (first > last) {
        return 0;
    }
    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<int> pick(first, last);
    for (int attempt = 0; attempt < 200; ++attempt) {
        const int port = pick(random);
        const platform::TUniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_ANY);
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        if (::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
            return port;
        }
    }
    return 0;
}

} // namespace statlume::testing
