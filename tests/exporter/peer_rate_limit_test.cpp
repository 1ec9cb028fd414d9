#include "exporter/peer_rate_limit.h"

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

TEST(PeerRateLimit, AnIPv6NetworkSharesOneBucketAndAFullTableForgetsTheLeastRecent)
{
    TPeerRateLimit limit(1, 2);
    const auto start = TPeerRateLimit::TClock::time_point{} + 1h;
    const TPeerAddress hostA{0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0xa};
    const TPeerAddress hostB{0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0xb};
    const TPeerAddress v4One{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 10, 0, 0, 1};
    const TPeerAddress v4Two{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 10, 0, 0, 2};
    EXPECT_TRUE(limit.Take(hostA, start));
    EXPECT_FALSE(limit.Take(hostB, start + 1ms)); // the same /64
    EXPECT_TRUE(limit.Take(v4One, start + 2ms));
    // The table is full: the /64, used least recently, makes way; v4One's spent share stays.
    EXPECT_TRUE(limit.Take(v4Two, start + 3ms));
    EXPECT_FALSE(limit.Take(v4One, start + 4ms));
}

} // namespace
} // namespace statlume
