#include <string>

#include "base/ascii_case.h"
#include "format/item_catalogue.h"
#include "format/tag_language.h"

#include "format_rig.h"
#include <gtest/gtest.h>

namespace statlume {
namespace {

TEST(ItemCatalogue, EveryRowIsRegisteredByItsFamilyUnderItsNames)
{
    TFormatRig rig;
    std::size_t registered = 0;
    for (const auto& formatter : rig.Formatters)
        registered += formatter->Items.size();
    EXPECT_EQ(registered, ItemCount);
    for (const TItemRow& row : ItemCatalogue()) {
        SCOPED_TRACE(std::string(row.TagName));
        bool found = false;
        for (const auto& [name, item] : rig.Family(row.Family).Items)
            found =
                found || (name == row.DisplayName && item.TagName == AsciiUpperCopy(row.TagName));
        EXPECT_TRUE(found);
        EXPECT_EQ(FindItemRow(AsciiUpperCopy(row.TagName)), &row);
    }
    EXPECT_EQ(FindItemRow("ProcUsag"), nullptr);
}

TEST(ItemCatalogue, EveryRowHasHelpAUsageOfItsTagAndAConsistentScale)
{
    for (const TItemRow& row : ItemCatalogue()) {
        SCOPED_TRACE(std::string(row.TagName));
        EXPECT_FALSE(row.DisplayName.empty());
        EXPECT_NE(row.Help().find("<NAME=" + std::string(row.TagName)), std::string::npos);
        const std::string usageTag = "<NAME=" + std::string(row.TagName);
        ASSERT_NE(row.DefaultUsage.find(usageTag), std::string_view::npos);
        ASSERT_NE(row.Scale, nullptr);
        // Thresholds need a number, bars and graphs a maximum to draw against.
        const TItemScale scale = row.Scale(ReadTagOptions(row.DefaultUsage).Format);
        EXPECT_EQ(scale.HasValue, row.Measure != nullptr);
        EXPECT_EQ(scale.HasMaximum, !row.MaximumText.empty());
        EXPECT_EQ(row.Metric.Name.empty(), row.Metric.Help.empty());
    }
}

} // namespace
} // namespace statlume
