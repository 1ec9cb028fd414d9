#pragma once

#include <chrono>
#include <cstddef>
#include <map>

#include "remote/address_counts.h"

namespace statlume {

/// Lets each peer do something at most a given number of times a second (a bucket that holds
/// one second's worth and refills evenly); an IPv6 peer counts by its /64, as one host
/// commonly holds a whole /64.
class TPeerRateLimit
{
public:
    using TClock = std::chrono::steady_clock;

    /// perSecond events a second for each peer; at most maxPeers buckets are remembered, the
    /// least recently used one forgotten first.
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
