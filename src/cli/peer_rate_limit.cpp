#include "cli/peer_rate_limit.h"

#include <algorithm>

namespace statlume {

TPeerRateLimit::TPeerRateLimit(double perSecond, std::size_t maxPeers)
    : PerSecond(perSecond)
    , MaxPeers(maxPeers)
{
}

bool TPeerRateLimit::Take(const TPeerAddress& peer, TClock::time_point now)
{
    auto at = Buckets.find(peer);
    if (at == Buckets.end()) {
        if (Buckets.size() >= MaxPeers)
            Forget(now);
        at = Buckets.emplace(peer, TBucket{PerSecond, now}).first;
    }
    TBucket& bucket = at->second;
    const std::chrono::duration<double> passed = now - bucket.Last;
    bucket.Tokens = std::min(PerSecond, bucket.Tokens + std::max(0.0, passed.count()) * PerSecond);
    bucket.Last = now;
    if (bucket.Tokens < 1.0)
        return false;
    bucket.Tokens -= 1.0;
    return true;
}

// A full bucket says nothing a new one would not, so those go first; a crowd of addresses
// that keeps every bucket busy loses its history, which bounds memory at the cost of a
// second's share for each.
void TPeerRateLimit::Forget(TClock::time_point now)
{
    for (auto at = Buckets.begin(); at != Buckets.end();) {
        const std::chrono::duration<double> passed = now - at->second.Last;
        if (at->second.Tokens + passed.count() * PerSecond >= PerSecond)
            at = Buckets.erase(at);
        else
            ++at;
    }
    if (Buckets.size() >= MaxPeers)
        Buckets.clear();
}

} // namespace statlume
