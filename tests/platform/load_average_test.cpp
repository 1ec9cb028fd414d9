#include <optional>

#include "platform/linux/load_average.h"

#include <gtest/gtest.h>

namespace statlume::platform {
namespace {

TEST(LoadAverage, ParsesThreeFiguresAndRefusesTheRest)
{
    struct TRow
    {
        const char* name;
        const char* text;
        std::optional<double> fifteen;
    };
    const TRow rows[] = {
        {"kernel line", "0.52 1.25 2.50 2/812 40321\n", 2.5},
        {"three only", "0 0 7", 7},
        {"missing one", "0.52 1.25", std::nullopt},
        {"negative", "0.52 -1 2", std::nullopt},
        {"glued text", "0.52x 1 2", std::nullopt},
        {"not a number", "nan 1 2", std::nullopt},
        {"empty", "", std::nullopt},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.name);
        const auto load = ParseLoadAverage(row.text);
        ASSERT_EQ(load.has_value(), row.fifteen.has_value());
        if (load) {
            EXPECT_EQ(load->FifteenMinutes, *row.fifteen);
        }
    }
}

TEST(LoadAverage, ReadsTheFixture)
{
    const auto load = ReadLoadAverage(STATLUME_TEST_DATA "/procfs_host");
    ASSERT_TRUE(load.has_value());
    EXPECT_EQ(load->OneMinute, 0.52);
    EXPECT_EQ(load->FiveMinutes, 1.25);
    EXPECT_FALSE(ReadLoadAverage("/nonexistent").has_value());
}

} // namespace
} // namespace statlume::platform
