#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "remote/serve_limits.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

namespace statlume {
namespace {

// The 16-byte form a connection's peer is checked in: IPv4 as ::ffff:a.b.c.d.
std::array<std::uint8_t, 16> PeerBytes(const std::string& text)
{
    std::array<std::uint8_t, 16> address{};
    std::array<std::uint8_t, 4> v4{};
    if (inet_pton(AF_INET, text.c_str(), v4.data()) == 1) {
        address[10] = address[11] = 0xFF;
        std::copy(v4.begin(), v4.end(), address.begin() + 12);
    } else {
        EXPECT_EQ(inet_pton(AF_INET6, text.c_str(), address.data()), 1) << text;
    }
    return address;
}

TEST(ServeLimits, RangesAdmitExactlyTheirPeers)
{
    struct TRow
    {
        const char* name;
        const char* allow;
        std::vector<std::string> inside;
        std::vector<std::string> outside;
    };
    const TRow rows[] = {
        {"empty list admits everyone", "", {"203.0.113.9", "2001:db8::1"}, {}},
        {"IPv4 /24", "192.0.2.0/24", {"192.0.2.0", "192.0.2.255"}, {"192.0.3.0", "::1"}},
        {"IPv4 host without prefix", "127.0.0.1", {"127.0.0.1"}, {"127.0.0.2"}},
        {"IPv4 /0 is every IPv4 peer, no IPv6 one", "0.0.0.0/0", {"8.8.8.8"}, {"2001:db8::1"}},
        {"prefix not on a byte boundary", "10.0.0.0/9", {"10.127.255.255"}, {"10.128.0.0"}},
        {"IPv6 /64", "2001:db8:1::/64", {"2001:db8:1::ff"}, {"2001:db8:2::1", "192.0.2.1"}},
        {"bracketed IPv6 host", "[::1]", {"::1"}, {"::2", "127.0.0.1"}},
        {"list: any item admits", "127.0.0.0/8,::1", {"127.5.5.5", "::1"}, {"192.0.2.1"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TServeLimits limits;
        if (*row.allow != '\0') {
            std::string bad;
            const auto list = ParseCidrList(row.allow, bad);
            ASSERT_TRUE(list) << bad;
            limits.Allow = *list;
        }
        for (const auto& peer : row.inside)
            EXPECT_TRUE(limits.Allows(PeerBytes(peer))) << peer;
        for (const auto& peer : row.outside)
            EXPECT_FALSE(limits.Allows(PeerBytes(peer))) << peer;
    }
}

TEST(ServeLimits, MalformedRangesAreRefusedWithTheBadItem)
{
    struct TRow
    {
        const char* name;
        const char* text;
        const char* badItem;
    };
    const TRow rows[] = {
        {"IPv4 prefix above 32", "10.0.0.0/33", "10.0.0.0/33"},
        {"IPv6 prefix above 128", "::/129", "::/129"},
        {"empty prefix", "10.0.0.0/", "10.0.0.0/"},
        {"signed prefix", "10.0.0.0/+8", "10.0.0.0/+8"},
        {"host name", "localhost", "localhost"},
        {"empty item in a list", "127.0.0.1,,::1", ""},
        {"trailing comma", "127.0.0.1,", ""},
        {"second item bad", "127.0.0.1,300.1.1.1", "300.1.1.1"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::string bad = "unset";
        EXPECT_FALSE(ParseCidrList(row.text, bad));
        EXPECT_EQ(bad, row.badItem);
    }
}

} // namespace
} // namespace statlume
