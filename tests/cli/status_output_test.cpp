#include <string>
#include <vector>

#include "cli/status_output.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

TEST(StatusOutput, BeforeTheFirstRecordOnlyJsonSaysSoWithoutFigures)
{
    struct TCase
    {
        const char* name;
        TOutputStyle style;
        std::string expected;
    };
    const TCase cases[] = {
        {"json", TOutputStyle::Json,
         R"({"text":"","tooltip":"cannot reach h:1: refused\u001b?","class":"alert"})"
         "\n"},
        {"lines", TOutputStyle::Lines, ""},
        {"one line", TOutputStyle::OneLine, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(NoRecordUpdate({c.style, " | "}, "cannot reach h:1: refused\x1b\xc2\x9b"),
                  c.expected);
    }
}

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

namespace statlume {
namespace {

TRun RunOf(TRunKind kind, std::string text, TRunTone tone, double fraction)
{
    TRun run;
    run.Kind = kind;
    run.Text = std::move(text);
    run.Tone = tone;
    run.Fraction = fraction;
    run.Cells = 2;
    return run;
}

TEST(StatusOutput, RunsGiveBlocksColoursPercentageAndClass)
{
    const TRunLine plain{{RunOf(TRunKind::Text, "up", TRunTone::Plain, -1)}};
    const TRunLine cpu{{RunOf(TRunKind::Text, "CPU ", TRunTone::Plain, -1),
                        RunOf(TRunKind::Bar, "75", TRunTone::Warning, 0.75)}};
    const TRunLine hot{{RunOf(TRunKind::Text, "90", TRunTone::Critical, -1)}};
    struct TCase
    {
        const char* name;
        TOutputFormat format;
        std::vector<TRunLine> lines;
        bool alert;
        std::string expected;
    };
    const TOutputFormat json{TOutputStyle::Json, " | ", true};
    const TCase cases[] = {
        {"json without thresholds or maximum is as before",
         json,
         {plain},
         false,
         R"({"text":"up","tooltip":"up","class":""})"
         "\n"},
        {"json: blocks, percentage of the first line, warning",
         json,
         {cpu, plain},
         false,
         R"({"text":"CPU █▌","tooltip":"CPU █▌\nup","class":"warning","percentage":75})"
         "\n"},
        {"json: critical on a later line beside alert",
         json,
         {plain, cpu, hot},
         true,
         R"({"text":"up","tooltip":"up\nCPU █▌\n90","class":["alert","critical"]})"
         "\n"},
        {"colour on a terminal",
         {TOutputStyle::Lines, "", true},
         {cpu},
         false,
         "CPU \x1b[33m█▌\x1b[0m\n\n"},
        {"no colour into a pipe", {TOutputStyle::Lines, "", false}, {cpu}, false, "CPU █▌\n\n"},
        {"one line never coloured",
         {TOutputStyle::OneLine, "/", true},
         {cpu, hot},
         false,
         "CPU █▌/90\n"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FormatUpdate(c.format, c.lines, c.alert), c.expected);
    }
}

TEST(StatusOutput, TerminalColoursFollowTermAndNoColor)
{
    struct Row
    {
        const char* name;
        bool terminal;
        const char* noColour;
        const char* term;
        const char* colourTerm;
        TColourDepth expected;
    };
    using enum TColourDepth;
    const Row rows[] = {
        {"a pipe", false, nullptr, "xterm-256color", "truecolor", None},
        {"NO_COLOR, even empty", true, "", "xterm-256color", "truecolor", None},
        {"TERM=dumb", true, nullptr, "dumb", "truecolor", None},
        {"no TERM", true, nullptr, nullptr, nullptr, None},
        {"COLORTERM=truecolor", true, nullptr, "xterm-256color", "truecolor", TrueColour},
        {"COLORTERM=24bit", true, nullptr, "screen", "24bit", TrueColour},
        {"a -direct terminfo", true, nullptr, "xterm-direct", nullptr, TrueColour},
        {"256 colours", true, nullptr, "tmux-256color", nullptr, Palette256},
        {"the Linux console", true, nullptr, "linux", nullptr, Basic},
        {"plain xterm", true, nullptr, "xterm", "", Basic},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(TerminalColours(row.terminal, row.noColour, row.term, row.colourTerm),
                  row.expected);
    }
}

} // namespace
} // namespace statlume
