#include "cli/peer_rate_limit.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

using namespace std::chrono_literals;

TEST(PeerRateLimit, EachPeerGetsItsShareAndItRefills)
{
    TPeerRateLimit limit(4, 8);
    const auto start = TPeerRateLimit::TClock::time_point{} + 1h;
    const TPeerAddress one{1};
    const TPeerAddress two{2};
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(limit.Take(one, start)) << i;
    EXPECT_FALSE(limit.Take(one, start));
    EXPECT_TRUE(limit.Take(two, start));
    EXPECT_FALSE(limit.Take(one, start + 200ms));
    EXPECT_TRUE(limit.Take(one, start + 250ms));
    EXPECT_FALSE(limit.Take(one, start + 260ms));
    // Idle for long, the bucket holds one second's worth, not more.
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(limit.Take(one, start + 1h)) << i;
    EXPECT_FALSE(limit.Take(one, start + 1h));
}

} // namespace
} // namespace statlume
