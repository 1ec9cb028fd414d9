#include "platform/linux/drm_cards.h"

#include <gtest/gtest.h>

namespace statlume::platform {
namespace {

TEST(DrmCards, OnlyCanonicalPciAddressesAreAccepted)
{
    struct TRow
    {
        const char* name;
        const char* text;
        bool accepted;
    };
    const TRow rows[] = {
        {"canonical", "0000:01:00.0", true},       {"hex letters", "0000:0a:1f.7", true},
        {"upper case", "0000:0A:00.0", false},     {"climbs out", "..", false},
        {"short domain", "00:01:00.0", false},     {"slash inside", "0000:01/00.0", false},
        {"trailing text", "0000:01:00.0x", false},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(IsPciAddress(row.text), row.accepted);
    }
}

} // namespace
} // namespace statlume::platform
