#include "format/template_cap.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

std::string Lines(std::size_t count, std::string_view line, std::string_view lineBreak = "\r\n")
{
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        text += line;
        text += lineBreak;
    }
    return text;
}

TEST(TemplateCap, KeepsAtMostTheLineAndByteLimits)
{
    const std::string euro = "\xE2\x82\xAC";
    std::string longLine;
    while (longLine.size() < MaxTemplateBytes + 10) {
        longLine += euro;
    }
    struct TCase
    {
        const char* name;
        std::string text;
        std::size_t keptSize;
        std::size_t lines;
        bool cut;
    };
    const TCase cases[] = {
        {"empty", "", 0, 0, false},
        {"small", "a\r\nb", 4, 2, false},
        {"exactly the line limit", Lines(1000, "x"), 3000, 1000, false},
        {"exactly the line limit, no last break", Lines(999, "x") + "x", 2998, 1000, false},
        {"one line more", Lines(1001, "x"), 3000, 1001, true},
        {"lone CR and LF count as breaks", Lines(1500, "x", "\n"), 2000, 1500, true},
        {"300,000 empty lines", Lines(300'000, ""), 2000, 300'000, true},
        {"bytes first", Lines(100, std::string(1000, 'y')), MaxTemplateBytes, 100, true},
        // 65536 is not a multiple of 3: the cut backs off to the last whole character.
        {"no split character", longLine, MaxTemplateBytes - MaxTemplateBytes % 3, 1, true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        const TTemplateCap cap = CapTemplate(c.text);
        EXPECT_EQ(cap.Kept.size(), c.keptSize);
        EXPECT_EQ(cap.Lines, c.lines);
        EXPECT_EQ(cap.Cut, c.cut);
        EXPECT_EQ(TemplateCapMessage(cap).empty(), !c.cut);
    }
}

} // namespace
} // namespace statlume
