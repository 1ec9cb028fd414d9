#include "format/figure_text.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

TEST(FigureText, ReadsFormatIndex)
{
    struct Row
    {
        const char* name;
        std::string_view text;
        std::int32_t index;
    };
    const Row rows[] = {
        {"empty", "", 0},
        {"word", "ALL", 0},
        {"digit", "2", 2},
        {"leading blanks", "   3", 3},
        {"trailing blank", "2 ", 0},
        {"plus sign", "+4", 4},
        {"minus sign", "-1", -1},
        {"two signs", "--1", 0},
        {"blank after sign", "- 1", 0},
        {"dollar hex", "$1F", 31},
        {"x hex", "x10", 16},
        {"upper X hex", "X0a", 10},
        {"0x hex", "0x3", 3},
        {"0X hex", "0Xff", 255},
        {"negative hex", "-$2", -2},
        {"lone x", "x", 0},
        {"lone 0x", "0x", 0},
        {"lone dollar", "$", 0},
        {"lone sign", "-", 0},
        {"hex digit in decimal", "1a", 0},
        {"tab is no blank", "\t1", 0},
        {"leading zeros", "0000000000000000000001", 1},
        {"largest", "2147483647", 2147483647},
        {"smallest", "-2147483648", -2147483647 - 1},
        {"one too large", "2147483648", 0},
        {"hex beyond 31 bits", "$80000000", 0},
        {"far too large", "99999999999999999999999", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ReadFormatIndex(row.text), row.index);
    }
}

} // namespace
} // namespace statlume
