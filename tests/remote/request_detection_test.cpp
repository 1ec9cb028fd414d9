#include <algorithm>
#include <string>

#include "remote/request_detection.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

// Replies a server sends for bytes that arrive together, read as the server reads them.
int RepliesFor(const std::string& arrived)
{
    int replies = 0;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(arrived.data());
    for (std::size_t at = 0; at < arrived.size(); at += RequestReadSize) {
        const std::size_t n = std::min(RequestReadSize, arrived.size() - at);
        replies += IsRequest(bytes + at, n) ? 1 : 0;
    }
    return replies;
}

TEST(RequestDetection, RepliesPerArrival)
{
    struct TCase
    {
        const char* name;
        std::string arrived;
        int replies;
    };
    const TCase cases[] = {
        {"one request", "T", 1},
        {"three requests together", "TTT", 1},
        {"request then another byte", "Tx", 0},
        {"anything ending in T", "\x01\xFFzT", 1},
        {"lower case is not a request", "t", 0},
        {"twelve bytes, tenth not T, last T", "TTTTTTTTTxTT", 1},
        {"twelve bytes, tenth T, last not T", "xxxxxxxxxTxx", 1},
        {"twenty requests: two reads", std::string(20, 'T'), 2},
    };
    for (const auto& [name, arrived, replies] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(RepliesFor(arrived), replies);
    }
}

TEST(RequestDetection, EmptyReadIsNoRequest)
{
    const std::uint8_t request = 'T';
    EXPECT_FALSE(IsRequest(&request, 0));
    EXPECT_FALSE(IsRequest(nullptr, 0));
}

} // namespace
} // namespace statlume
