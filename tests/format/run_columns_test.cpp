#include "format/run_columns.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

TRun Text(std::string text)
{
    TRun run;
    run.Text = std::move(text);
    return run;
}

TRun Drawing(TRunKind kind, std::size_t cells, std::string valueText = "42")
{
    TRun run;
    run.Kind = kind;
    run.Cells = cells;
    run.Text = std::move(valueText);
    return run;
}

TEST(RunColumns, DrawingsStartAtTheirColumnUnlessTheTextBeforeReachesFurther)
{
    struct Row
    {
        const char* name;
        std::vector<TRun> runs;
        std::vector<int> widths;
        std::vector<int> starts;
    };
    const int cell = 5;
    const Row rows[] = {
        {"text runs follow each other", {Text("ab"), Text("cd")}, {3, 4}, {0, 3}},
        {"a drawing after narrow text waits for its column",
         {Text("CPU 12.3 %  "), Drawing(TRunKind::Graph, 30)},
         {40, 150},
         {0, 60}},
        {"a drawing after wide text follows it",
         {Text("WWW "), Drawing(TRunKind::Bar, 4)},
         {27, 20},
         {0, 27}},
        {"characters are counted, not bytes",
         {Text("\u00b0C \u2588"), Drawing(TRunKind::Bar, 2)},
         {10, 10},
         {0, 20}},
        {"a drawing counts its cells, not its value text",
         {Text("A "), Drawing(TRunKind::Bar, 3, "12345"), Text(" B "), Drawing(TRunKind::Bar, 2)},
         {6, 15, 8, 10},
         {0, 10, 25, 40}},
        {"text after a drawing follows it",
         {Drawing(TRunKind::Bar, 2), Text("x")},
         {10, 3},
         {0, 10}},
        {"more runs than widths", {Text("a"), Drawing(TRunKind::Bar, 1)}, {3}, {0}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(RunStarts(TRunLine{row.runs}, row.widths, cell), row.starts);
    }
}

} // namespace
} // namespace statlume
