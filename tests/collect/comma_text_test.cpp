#include "collect/comma_text.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

TEST(CommaText, Splits)
{
    struct TCase
    {
        const char* name;
        std::string_view text;
        std::vector<std::string> expected;
    };
    const TCase cases[] = {
        {"empty", "", {}},
        {"only blanks", "  \t ", {}},
        {"commas", "a,b,c", {"a", "b", "c"}},
        {"blanks separate too", "a b\tc", {"a", "b", "c"}},
        {"blanks around commas", " a , b ", {"a", "b"}},
        {"empty between commas", "a,,b", {"a", "", "b"}},
        {"trailing comma adds an empty entry", "a,", {"a", ""}},
        {"comma then blank at the end", "a, ", {"a"}},
        {"only commas and blanks", " , ,", {"", "", ""}},
        {"quoted with blanks and comma", "\"my app, v2\",x", {"my app, v2", "x"}},
        {"doubled quote inside quotes", "\"say \"\"hi\"\"\"", {"say \"hi\""}},
        {"unclosed quote runs to the end", "\"abc", {"abc"}},
        {"quote inside a plain entry", "ab\"c", {"ab\"c"}},
        {"control characters separate",
         std::string_view("a\x01"
                          "b",
                          3),
         {"a", "b"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(SplitCommaText(c.text), c.expected);
    }
}

TEST(CommaText, NullCharactersEndWithoutLooping)
{
    const std::string text("a\0\0b", 4);
    EXPECT_EQ(SplitCommaText(text), (std::vector<std::string>{"a", "", "b"}));
}

} // namespace
} // namespace statlume
