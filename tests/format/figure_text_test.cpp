#include <optional>

#include "format/figure_text.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

TEST(FigureText, ReadsFormatNumber)
{
    struct Row
    {
        const char* name;
        std::string_view text;
        std::optional<std::int32_t> number;
    };
    const Row rows[] = {
        {"empty", "", std::nullopt},
        {"word", "ALL", std::nullopt},
        {"zero", "0", 0},
        {"digit", "2", 2},
        {"leading blanks", "   3", 3},
        {"trailing blank", "2 ", std::nullopt},
        {"plus sign", "+4", 4},
        {"minus sign", "-1", -1},
        {"two signs", "--1", std::nullopt},
        {"blank after sign", "- 1", std::nullopt},
        {"dollar hex", "$1F", 31},
        {"x hex", "x10", 16},
        {"upper X hex", "X0a", 10},
        {"0x hex", "0x3", 3},
        {"0X hex", "0Xff", 255},
        {"negative hex", "-$2", -2},
        {"lone x", "x", std::nullopt},
        {"lone 0x", "0x", std::nullopt},
        {"lone dollar", "$", std::nullopt},
        {"lone sign", "-", std::nullopt},
        {"hex digit in decimal", "1a", std::nullopt},
        {"tab is no blank", "\t1", std::nullopt},
        {"leading zeros", "0000000000000000000001", 1},
        {"largest", "2147483647", 2147483647},
        {"smallest", "-2147483648", -2147483647 - 1},
        {"one too large", "2147483648", std::nullopt},
        {"hex beyond 31 bits", "$80000000", std::nullopt},
        {"far too large", "99999999999999999999999", std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ReadFormatNumber(row.text), row.number);
        // Text that is no number reads as the total.
        EXPECT_EQ(ReadFormatIndex(row.text), row.number.value_or(0));
    }
}

} // namespace
} // namespace statlume
