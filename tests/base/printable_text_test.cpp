#include <string>

#include "base/printable_text.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

using namespace std::string_literals;

TEST(PrintableText, ReplacesEveryControlAndKeepsEveryCharacter)
{
    struct TRow
    {
        const char* name;
        std::string text;
        std::string shown;
    };
    const TRow rows[] = {
        {"plain", "alpha-01 ok", "alpha-01 ok"},
        {"title sequence", "\x1B]0;owned\x07", "?]0;owned?"},
        {"colour sequence", "\x1B[31mred", "?[31mred"},
        {"NUL, tab, line feed, carriage return", "a\0b\t\n\r"s, "a?b???"},
        {"DEL",
         "a\x7F"
         "b",
         "a?b"},
        {"C1 CSI as UTF-8",
         "\xC2\x9B"
         "31m",
         "?31m"},
        {"C1 NEL as UTF-8", "x\xC2\x85y", "x?y"},
        {"stray C1 byte",
         "\x9B"
         "31m\x80",
         "?31m?"},
        {"Czech name",
         "\xC5\x98"
         "e\xC5\xBE",
         "\xC5\x98"
         "e\xC5\xBE"},
        {"no-break space is no control",
         "a\xC2\xA0"
         "b",
         "a\xC2\xA0"
         "b"},
        {"right-to-left override", "ab\u202Ecd", "ab?cd"},
        {"every bidi control and separator",
         "\u202A\u202B\u202C\u202D\u2066\u2067\u2068\u2069\u200E\u200F\u061C\u2028\u2029",
         "?????????????"},
        {"their neighbours are kept", "\u2029\u202F\u2065\u206A\u200D\u061B\u2027",
         "?\u202F\u2065\u206A\u200D\u061B\u2027"},
        {"four-byte character", "\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
        {"single-byte code page text", "M\xFCller \xBA", "M\xFCller \xBA"},
        {"overlong form is no sequence", "\xC0\x9B", "\xC0?"},
        {"surrogate is no sequence", "\xED\xA0\x80", "\xED\xA0?"},
        {"sequence cut at the end", "ab\xE2\x80", "ab\xE2?"},
        {"empty", "", ""},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(PrintableText(row.text), row.shown);
    }
}

} // namespace
} // namespace statlume
