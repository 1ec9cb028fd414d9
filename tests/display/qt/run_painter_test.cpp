#include "display/qt/run_painter.h"
#include "options/qt_test_app.h"

#include <QFont>
#include <QFontMetrics>

#include <gtest/gtest.h>

namespace statlume {
namespace {

TRun Text(std::string text, TRunTone tone = TRunTone::Plain)
{
    TRun run;
    run.Text = std::move(text);
    run.Tone = tone;
    return run;
}

TRun Drawing(TRunKind kind, std::size_t cells, std::string valueText)
{
    TRun run = Text(std::move(valueText));
    run.Kind = kind;
    run.Cells = cells;
    return run;
}

// The lines of the graphs example as the renderer gives them: a figure with thresholds is a
// run of its own, one without is part of the text around it.
TRunLine Percent(const char* label, const char* figure)
{
    return {{Text(label), Text(figure, TRunTone::Warning), Text(" %   "),
             Drawing(TRunKind::Graph, 30, figure)}};
}

TRunLine Rate(const char* label, const char* figure)
{
    return {{Text(std::string(label) + figure + " KB/s "), Drawing(TRunKind::Graph, 30, figure)}};
}

TRunLine Bars(const char* first, const char* second)
{
    return {{Text(first), Drawing(TRunKind::Bar, 13, "7"), Text(second),
             Drawing(TRunKind::Bar, 13, "12345")}};
}

TEST(RunPainter, DrawingsLineUpInColumnsInAProportionalFont)
{
    const QFontMetrics metrics(QFont(QStringLiteral("DejaVu Sans"), 8));
    ASSERT_LT(metrics.horizontalAdvance(QLatin1Char(' ')),
              metrics.horizontalAdvance(QLatin1Char('0')))
        << "a font whose spaces are narrower than its digits";
    const int cell = metrics.horizontalAdvance(QLatin1Char('0'));
    struct Row
    {
        const char* name;
        std::vector<TRunLine> lines;
        std::size_t run;
        int column;
    };
    const Row rows[] = {
        {"percent graphs",
         {Percent("CPU  ", "100.00"), Percent("CPU  ", "12.3  "), Percent("RAM  ", "6.63  ")},
         3,
         16},
        {"rate graphs",
         {Rate("Down ", "12345.67"), Rate("Down ", "0.00    "), Rate("Up   ", "1.5     ")},
         1,
         19},
        {"second bars", {Bars("CPU1 ", "  CPU2 "), Bars("Swap ", "  Disk ")}, 3, 25},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        for (const TRunLine& line : row.lines) {
            SCOPED_TRACE(PlainText(line));
            EXPECT_EQ(MeasureRuns(line, metrics).at(row.run).Start, row.column * cell)
                << "the drawing starts at its column, wherever the text before it ends";
        }
    }
}

TEST(RunPainter, APaddedFigureKeepsItsWidth)
{
    const QFontMetrics metrics(QFont(QStringLiteral("DejaVu Sans"), 8));
    TRunLine narrow = Percent("CPU  ", "12.3  ");
    narrow.Runs[1].Padding = {{4, 2}};
    const TRunLine wide = Percent("CPU  ", "100.00");
    EXPECT_EQ(MeasureRuns(narrow, metrics)[1].Width, MeasureRuns(wide, metrics)[1].Width);
}

TEST(RunPainter, AFigureChangingWidthRepaintsItselfNotTheDrawingAfterIt)
{
    const QFontMetrics metrics(QFont(QStringLiteral("DejaVu Sans"), 8));
    const TRunLine before = Percent("CPU  ", "100.00");
    const TRunLine after = Percent("CPU  ", "12.3  ");
    const TRunSpans beforeSpans = MeasureRuns(before, metrics);
    const TRunSpans afterSpans = MeasureRuns(after, metrics, before, beforeSpans);
    const QRegion changed = ChangedRuns(before, beforeSpans, after, afterSpans, 10);
    EXPECT_TRUE(changed.intersects(QRect(afterSpans[1].Start, 0, afterSpans[1].Width, 10)));
    EXPECT_FALSE(changed.intersects(QRect(afterSpans[3].Start, 0, afterSpans[3].Width, 10)))
        << "the graph did not move";
}

} // namespace
} // namespace statlume
