#include "display/drawing_tip.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

TRun Drawing(TRunKind kind, double scale)
{
    TRun run;
    run.Kind = kind;
    run.Scale = scale;
    return run;
}

TEST(DrawingTip, NamesEveryScaleThatIsNotAPercentage)
{
    struct Row
    {
        const char* name;
        TRunLine line;
        std::string tip;
    };
    TRun text;
    text.Text = "CPU";
    text.Scale = 5;
    const Row rows[] = {
        {"percentages need none", {{Drawing(TRunKind::Graph, 100), text}}, ""},
        {"no scale known yet", {{Drawing(TRunKind::Graph, 0)}}, ""},
        {"a network peak", {{Drawing(TRunKind::Graph, 1234.4)}}, "Graph scale: 0 to 1234"},
        {"a small peak keeps its tenths",
         {{Drawing(TRunKind::Graph, 0.26)}},
         "Graph scale: 0 to 0.3"},
        {"one line per drawing",
         {{Drawing(TRunKind::Bar, 16000), text, Drawing(TRunKind::Graph, 20)}},
         "Bar scale: 0 to 16000\nGraph scale: 0 to 20"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(DrawingScaleTip(row.line), row.tip);
    }
}

} // namespace
} // namespace statlume
