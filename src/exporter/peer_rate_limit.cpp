#include "exporter/peer_rate_limit.h"

#include <algorithm>

namespace statlume {

TPeerRateLimit::TPeerRateLimit(double perSecond, std::size_t maxPeers)
    : PerSecond(perSecond)
    , MaxPeers(std::max<std::size_t>(maxPeers, 1))
{
}

bool TPeerRateLimit::Take(const TPeerAddress& peer, TClock::time_point now)
{
    const TPeerAddress key = QuotaKeyOf(peer);
    auto at = Buckets.find(key);
    if (at == Buckets.end()) {
        if (Buckets.size() >= MaxPeers)
            Forget(now);
        at = Buckets.emplace(key, TBucket{PerSecond, now}).first;
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

// A full bucket says nothing a new one would not, so those go first; else the one used least
// recently, so a crowd of new addresses cannot wipe the spent shares of busy ones.
void TPeerRateLimit::Forget(TClock::time_point now)
{
    auto oldest = Buckets.end();
    for (auto at = Buckets.begin(); at != Buckets.end();) {
        const std::chrono::duration<double> passed = now - at->second.Last;
        if (at->second.Tokens + passed.count() * PerSecond >= PerSecond) {
            at = Buckets.erase(at);
            continue;
        }
        if (oldest == Buckets.end() || at->second.Last < oldest->second.Last)
            oldest = at;
        ++at;
    }
    if (Buckets.size() >= MaxPeers && oldest != Buckets.end())
        Buckets.erase(oldest);
}

} // namespace statlume
