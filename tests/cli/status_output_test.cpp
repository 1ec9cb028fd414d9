#include <string>
#include <vector>

#include "cli/status_output.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

TEST(StatusOutput, EveryStyleWritesOneUpdate)
{
    struct TCase
    {
        const char* name;
        TOutputFormat format;
        std::vector<std::string> lines;
        bool alert;
        std::string expected;
    };
    const TOutputFormat json{TOutputStyle::Json, " | "};
    const TOutputFormat oneLine{TOutputStyle::OneLine, " | "};
    const TOutputFormat lines{TOutputStyle::Lines, " | "};
    const TCase cases[] = {
        {"lines end with an empty line", lines, {"a", "b"}, false, "a\nb\n\n"},
        {"lines keep the template's own colour codes",
         lines,
         {"\x1b[31mhot\x1b[0m"},
         false,
         "\x1b[31mhot\x1b[0m\n\n"},
        {"one line joins with the separator",
         oneLine,
         {"CPU 5", "RAM 10"},
         false,
         "CPU 5 | RAM 10\n"},
        {"one line with another separator and empty lines",
         {TOutputStyle::OneLine, "/"},
         {"a", "", "b"},
         false,
         "a//b\n"},
        {"one line of no lines is an empty line", oneLine, {}, false, "\n"},
        {"json: first line, all lines, no class",
         json,
         {"CPU 5", "RAM 10"},
         false,
         R"({"text":"CPU 5","tooltip":"CPU 5\nRAM 10","class":""})"
         "\n"},
        {"json: alert class",
         json,
         {"x"},
         true,
         R"({"text":"x","tooltip":"x","class":"alert"})"
         "\n"},
        {"json escapes quotes, backslashes, C0 and DEL; C1 replaced",
         json,
         {"\"a\\b\"\x1b\x7f\xc2\x85"},
         false,
         R"({"text":"\"a\\b\"\u001b\u007f?","tooltip":"\"a\\b\"\u001b\u007f?","class":""})"
         "\n"},
        {"json replaces bytes that are no UTF-8",
         json,
         {"host\xff"},
         false,
         "{\"text\":\"host\xef\xbf\xbd\",\"tooltip\":\"host\xef\xbf\xbd\",\"class\":\"\"}\n"},
        {"json text is the whole first line, a line break of a value included",
         json,
         {"a\nb", "c"},
         false,
         R"({"text":"a\nb","tooltip":"a\nb\nc","class":""})"
         "\n"},
        {"json of no lines",
         json,
         {},
         false,
         R"({"text":"","tooltip":"","class":""})"
         "\n"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FormatUpdate(c.format, c.lines, c.alert), c.expected);
    }
}

} // namespace
} // namespace statlume
