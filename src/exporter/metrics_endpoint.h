// Where the Prometheus exporter listens.
#pragma once

#include <cstdint>
#include <string>

namespace statlume {

/// Where --metrics listens.
struct TMetricsEndpoint
{
    /// Address to listen on; empty = every address, IPv4 and IPv6.
    std::string Address;
    /// TCP port, 1..65535.
    std::uint16_t Port = 0;
};

} // namespace statlume
