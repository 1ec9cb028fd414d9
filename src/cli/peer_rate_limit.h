#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>

namespace statlume {

/// A peer's address, IPv4 held as ::ffff:a.b.c.d.
using TPeerAddress = std::array<std::uint8_t, 16>;

/// Lets each peer address do something at most a given number of times a second (a bucket
/// that holds one second's worth and refills evenly).
class TPeerRateLimit
{
public:
    using TClock = std::chrono::steady_clock;

    /// perSecond events a second for each peer; at most maxPeers buckets are remembered.
    explicit TPeerRateLimit(double perSecond, std::size_t maxPeers = 1024);

    /// True, counting it, when peer may do one more at now; false when its share is spent.
    bool Take(const TPeerAddress& peer, TClock::time_point now);

private:
    struct TBucket
    {
        double Tokens = 0;
        TClock::time_point Last;
    };

    void Forget(TClock::time_point now);

    double PerSecond;
    std::size_t MaxPeers;
    std::map<TPeerAddress, TBucket> Buckets;
};

} // namespace statlume
