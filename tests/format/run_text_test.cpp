#include "format/run_text.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

TRun Drawing(TRunKind kind, std::size_t cells, double fraction, std::vector<float> history = {})
{
    TRun run;
    run.Kind = kind;
    run.Cells = cells;
    run.Fraction = fraction;
    run.History = std::move(history);
    return run;
}

TRun Text(std::string text, TRunTone tone = TRunTone::Plain, std::uint32_t rgb = 0)
{
    TRun run;
    run.Text = std::move(text);
    run.Tone = tone;
    run.Rgb = rgb;
    return run;
}

constexpr auto Bar = TRunKind::Bar;
constexpr auto Graph = TRunKind::Graph;

TEST(RunText, DrawsBarsAndGraphsInBlocks)
{
    struct Row
    {
        const char* name;
        TRun run;
        std::string text;
    };
    const Row rows[] = {
        {"empty bar", Drawing(Bar, 3, 0), "░░░"},
        {"full bar", Drawing(Bar, 2, 1), "██"},
        {"half bar of odd width", Drawing(Bar, 3, 0.5), "█▌░"},
        {"one eighth", Drawing(Bar, 2, 1.0 / 16), "▏░"},
        {"over the top", Drawing(Bar, 2, 7), "██"},
        {"no maximum draws empty", Drawing(Bar, 1, -1), "░"},
        {"graph starts empty", Drawing(Graph, 3, 0), "   "},
        {"graph newest at the right", Drawing(Graph, 4, 1, {0, 0.5f, 1}), " ▁▄█"},
        {"graph longer history shows the newest", Drawing(Graph, 2, 0.3, {1, 0, 0.3f}), "▁▃"},
        {"text as it stands", Text("a <b>"), "a <b>"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(RunLineText({{row.run}}, {}), row.text);
    }
}

TEST(RunText, ColoursRunsOnlyWhenAsked)
{
    const TRunLine line{{Text("CPU "), Text("95", TRunTone::Critical),
                         Text("x", TRunTone::Custom, 0x10FF03), Text("y", TRunTone::Warning)}};
    EXPECT_EQ(RunLineText(line, {}), "CPU 95xy");
    EXPECT_EQ(RunLineText(line, TRunTextStyle{true}),
              "CPU \x1b[31m95\x1b[0m\x1b[38;2;16;255;3mx\x1b[0m\x1b[33my\x1b[0m");
    EXPECT_EQ(RunLineText(line, TRunTextStyle{true, TColourDepth::None}), "CPU 95xy");
}

TEST(RunText, GraphCellsTakeTheColourOfTheirOwnValue)
{
    TRun graph = Drawing(Graph, 4, 0.1, {1, 0.95f, 0.1f});
    graph.Rgb = 0x10FF03;
    graph.HistoryTones = {TRunTone::Critical, TRunTone::Critical, TRunTone::Custom};
    EXPECT_EQ(RunLineText({{graph}}, TRunTextStyle{true}),
              " \x1b[31m██\x1b[0m\x1b[38;2;16;255;3m▁\x1b[0m");
    graph.HistoryTones = {TRunTone::Warning, TRunTone::Plain, TRunTone::Plain};
    EXPECT_EQ(RunLineText({{graph}}, TRunTextStyle{true}), " \x1b[33m█\x1b[0m█▁");
    EXPECT_EQ(RunLineText({{graph}}, {}), " ██▁");
}

TEST(RunText, CustomColoursFitTheTerminalsDepth)
{
    struct Row
    {
        const char* name;
        std::uint32_t rgb;
        TColourDepth depth;
        const char* code;
    };
    using enum TColourDepth;
    const Row rows[] = {
        {"24-bit as given", 0x10FF03, TrueColour, "38;2;16;255;3"},
        {"green to the cube", 0x10FF03, Palette256, "38;5;46"},
        {"teal to the cube", 0x80CBC4, Palette256, "38;5;116"},
        {"grey to the ramp", 0x808080, Palette256, "38;5;244"},
        {"black to the cube's corner", 0x000000, Palette256, "38;5;16"},
        {"bright green", 0x10FF03, Basic, "92"},
        {"dark red", 0xB00000, Basic, "31"},
        {"light grey", 0xE0E0E0, Basic, "37"},
        {"none", 0x10FF03, None, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ForegroundCode(row.rgb, row.depth), row.code);
    }
}

} // namespace
} // namespace statlume
