#include <string>
#include <vector>

#include "base/text_columns.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

TEST(TextColumns, CellsWrapWithinTheirColumnsAndLinesUp)
{
    struct TRow
    {
        const char* name;
        std::vector<std::vector<std::string>> rows;
        std::string text;
    };
    const std::size_t widths[] = {4, 8, 10};
    const TRow rows[] = {
        {"all fit", {{"a", "bb", "cc dd"}}, "a   bb      cc dd\n"},
        {"middle wraps, last starts on the first line",
         {{"a", "one two three", "x"}},
         "a   one two x\n"
         "    three\n"},
        {"last wraps under itself, double blanks kept inside a line",
         {{"a", "b", "c  d eeee ffff"}},
         "a   b       c  d eeee\n"
         "            ffff\n"},
        {"a word longer than its column runs over with one blank",
         {{"abcdef", "b", "c"}, {"x", "y", "z"}},
         "abcdef b    c\n"
         "x   y       z\n"},
        {"blanks at a cut dropped, no blanks at the end",
         {{"a", "bbb    ccc", ""}},
         "a   bbb\n"
         "    ccc\n"},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ColumnsText(row.rows, widths), row.text);
    }
}

} // namespace
} // namespace statlume
