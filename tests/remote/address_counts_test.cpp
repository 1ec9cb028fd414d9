#include <optional>
#include <string>
#include <vector>

#include "remote/address_counts.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

namespace statlume {
namespace {

TPeerAddress Peer(const std::string& text)
{
    TPeerAddress address{};
    if (inet_pton(AF_INET, text.c_str(), address.data() + 12) == 1) {
        address[10] = address[11] = 0xFF;
    } else {
        EXPECT_EQ(inet_pton(AF_INET6, text.c_str(), address.data()), 1) << text;
    }
    return address;
}

TEST(AddressCounts, ANewcomerYieldsItsOwnAddressAtThatCapElseTheBusiest)
{
    struct TRow
    {
        const char* name;
        std::vector<std::string> open;
        std::string newcomer;
        std::size_t perAddress;
        std::size_t total;
        std::optional<std::string> yields;
    };
    const TRow rows[] = {
        {"room left", {"10.0.0.1", "10.0.0.2"}, "10.0.0.1", 2, 3, std::nullopt},
        {"own address at its cap", {"10.0.0.1", "10.0.0.1"}, "10.0.0.2", 2, 9, std::nullopt},
        {"own address at its cap", {"10.0.0.1", "10.0.0.1"}, "10.0.0.1", 2, 9, "10.0.0.1"},
        {"full: the busiest gives way",
         {"10.0.0.1", "10.0.0.2", "10.0.0.2"},
         "10.0.0.3",
         5,
         3,
         "10.0.0.2"},
        {"full: a tie goes against the newcomer's own address",
         {"10.0.0.1", "10.0.0.2"},
         "10.0.0.2",
         5,
         2,
         "10.0.0.2"},
        {"an IPv6 /64 counts as one address",
         {"2001:db8::1", "2001:db8::2"},
         "2001:db8::ffff:1",
         2,
         9,
         "2001:db8::"},
        {"neighbouring IPv6 networks count apart",
         {"2001:db8::1", "2001:db8::2"},
         "2001:db8:0:1::1",
         2,
         9,
         std::nullopt},
        {"a cap of 0 counts as 1", {"10.0.0.1"}, "10.0.0.1", 0, 9, "10.0.0.1"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TAddressCounts counts;
        for (const auto& peer : row.open) {
            counts.Add(QuotaKeyOf(Peer(peer)));
        }
        const auto yields =
            counts.MustYield(QuotaKeyOf(Peer(row.newcomer)), row.perAddress, row.total);
        ASSERT_EQ(yields.has_value(), row.yields.has_value());
        if (row.yields) {
            EXPECT_EQ(*yields, QuotaKeyOf(Peer(*row.yields)));
        }
    }
}

TEST(AddressCounts, RemovingForgetsAndNeverGoesBelowZero)
{
    TAddressCounts counts;
    const auto key = QuotaKeyOf(Peer("192.0.2.1"));
    counts.Add(key);
    counts.Remove(key);
    counts.Remove(key);
    EXPECT_EQ(counts.Count(key), 0u);
    EXPECT_EQ(counts.Total(), 0u);
    EXPECT_FALSE(counts.Busiest().has_value());
}

} // namespace
} // namespace statlume
