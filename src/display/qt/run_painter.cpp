#include "display/qt/run_painter.h"

#include <algorithm>
#include <cmath>

#include "format/run_columns.h"

#include <QPainter>
#include <QVarLengthArray>

namespace statlume {

namespace {

// Run text comes from outside too: "&" is drawn as written, never as a mnemonic.
constexpr int TextFlags = Qt::TextSingleLine;

QString Qs(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A run's text as the window draws it: padding blanks become figure spaces (U+2007), a digit
// wide, as a fixed-width font would draw them.
QString WindowText(const TRun& run)
{
    if (run.Padding.empty())
        return Qs(run.Text);
    std::string text;
    std::size_t pos = 0;
    for (const TTextRange& range : run.Padding) {
        if (range.Offset < pos || range.Offset + range.Length > run.Text.size())
            continue;
        text.append(run.Text, pos, range.Offset - pos);
        for (std::size_t i = 0; i < range.Length; ++i)
            text += "\u2007";
        pos = range.Offset + range.Length;
    }
    text.append(run.Text, pos);
    return Qs(text);
}

int CellWidth(const QFontMetrics& metrics)
{
    return std::max(1, metrics.horizontalAdvance(QLatin1Char('0')));
}

TRunSpan RunSpan(const TRun& run, const QFontMetrics& metrics)
{
    if (run.Kind != TRunKind::Text) {
        // Bounded by the 512-cell cap, so no overflow for any font.
        return {.Width = static_cast<int>(run.Cells) * CellWidth(metrics)};
    }
    const QString text = WindowText(run);
    if (text.isEmpty())
        return {};
    // Italic glyphs and some letters ("j", "f") reach past their advance: a partial repaint
    // must cover that ink too.
    return {.Width = metrics.size(TextFlags, text).width(),
            .InkLeft = std::max(0, -metrics.leftBearing(text.front())),
            .InkRight = std::max(0, -metrics.rightBearing(text.back()))};
}

// The pixels a run at x may touch.
QRect Ink(int x, const TRunSpan& span, int height)
{
    return {x - span.InkLeft, 0, span.InkLeft + span.Width + span.InkRight, height};
}

// True when two runs give the same pixels at the same width: a drawing's value text is not
// drawn, only its fraction or history.
bool DrawsAlike(const TRun& a, const TRun& b)
{
    if (a.Kind != b.Kind || a.Tone != b.Tone || (a.Tone == TRunTone::Custom && a.Rgb != b.Rgb))
        return false;
    switch (a.Kind) {
    case TRunKind::Text:
        return a.Text == b.Text && a.Padding == b.Padding;
    case TRunKind::Bar:
        return a.Cells == b.Cells && a.Fraction == b.Fraction;
    case TRunKind::Graph:
        return a.Cells == b.Cells && a.History == b.History;
    }
    return false;
}

QColor ColourOf(const TRun& run, const TRunColours& colours)
{
    switch (run.Tone) {
    case TRunTone::Plain:
        return colours.Text;
    case TRunTone::Custom:
        return QColor::fromRgb(static_cast<QRgb>(run.Rgb));
    case TRunTone::Warning:
        return colours.Warn;
    case TRunTone::Critical:
        return colours.Crit;
    }
    return colours.Text;
}

double Clamped(double fraction)
{
    return std::isfinite(fraction) ? std::clamp(fraction, 0.0, 1.0) : 0.0;
}

// The drawing area of a run: the font's height less a little air above and below, so bars of
// adjacent lines do not touch.
QRect DrawingBox(int left, int top, int width, const QFontMetrics& metrics)
{
    const int height = metrics.height();
    const int air = std::max(1, height / 8);
    return {left, top + air, width, std::max(1, height - 2 * air)};
}

void PaintBar(QPainter& painter, const QRect& box, double fraction, const QColor& colour)
{
    QColor track = colour;
    track.setAlphaF(0.25f);
    painter.fillRect(box, track);
    const int filled = static_cast<int>(std::lround(Clamped(fraction) * box.width()));
    if (filled > 0)
        painter.fillRect(QRect(box.left(), box.top(), filled, box.height()), colour);
}

void PaintGraph(QPainter& painter, const QRect& box, const TRun& run, int cell,
                const QColor& colour)
{
    QColor track = colour;
    track.setAlphaF(0.15f);
    painter.fillRect(box, track);
    const std::size_t shown = std::min(run.History.size(), run.Cells);
    const std::size_t first = run.History.size() - shown;
    // One value per cell, the newest at the right edge; a value shows at least one pixel.
    // The columns go to the engine at once: one call each costs more than its pixels.
    QVarLengthArray<QRect, 64> columns;
    for (std::size_t i = 0; i < shown; ++i) {
        const int x = box.right() + 1 - static_cast<int>(shown - i) * cell;
        const int height = std::max(
            1, static_cast<int>(std::lround(Clamped(run.History[first + i]) * box.height())));
        columns.append(QRect(x, box.bottom() + 1 - height, cell, height));
    }
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawRects(columns.constData(), static_cast<int>(columns.size()));
    painter.restore();
}

} // namespace

TRunSpans MeasureRuns(const TRunLine& line, const QFontMetrics& metrics, const TRunLine& before,
                      const TRunSpans& beforeSpans)
{
    TRunSpans spans;
    spans.reserve(line.Runs.size());
    std::vector<int> widths;
    widths.reserve(line.Runs.size());
    for (std::size_t i = 0; i < line.Runs.size(); ++i) {
        const TRun& run = line.Runs[i];
        // Laying out text is the dearest part of a tick: labels and units stay as they were.
        const bool known = i < before.Runs.size() && i < beforeSpans.size() &&
                           run.Kind == TRunKind::Text && before.Runs[i].Kind == TRunKind::Text &&
                           before.Runs[i].Text == run.Text && before.Runs[i].Padding == run.Padding;
        spans.push_back(known ? beforeSpans[i] : RunSpan(run, metrics));
        widths.push_back(spans.back().Width);
    }
    const std::vector<int> starts = RunStarts(line, widths, CellWidth(metrics));
    for (std::size_t i = 0; i < spans.size(); ++i)
        spans[i].Start = starts[i];
    return spans;
}

int RunLineWidth(const TRunSpans& spans)
{
    return spans.empty() ? 0 : spans.back().Start + spans.back().Width;
}

QRegion ChangedRuns(const TRunLine& before, const TRunSpans& beforeSpans, const TRunLine& after,
                    const TRunSpans& afterSpans, int height)
{
    QRegion changed;
    const std::size_t oldCount = std::min(before.Runs.size(), beforeSpans.size());
    const std::size_t newCount = std::min(after.Runs.size(), afterSpans.size());
    for (std::size_t i = 0; i < std::max(oldCount, newCount); ++i) {
        const bool wasThere = i < oldCount;
        const bool isThere = i < newCount;
        if (wasThere && isThere && beforeSpans[i] == afterSpans[i] &&
            DrawsAlike(before.Runs[i], after.Runs[i]))
            continue;
        // Whatever drew there before and draws there now; runs whose ink meets it are drawn
        // again whole.
        if (wasThere)
            changed += Ink(beforeSpans[i].Start, beforeSpans[i], height);
        if (isThere)
            changed += Ink(afterSpans[i].Start, afterSpans[i], height);
    }
    return changed;
}

void PaintRunLine(QPainter& painter, const QRect& rect, Qt::Alignment alignment,
                  const TRunLine& line, const TRunSpans& spans, const TRunColours& colours,
                  const QRegion& exposed)
{
    const QFontMetrics metrics = painter.fontMetrics();
    const int left =
        alignment & Qt::AlignRight ? rect.right() + 1 - RunLineWidth(spans) : rect.left();
    const int cell = CellWidth(metrics);
    for (std::size_t i = 0; i < line.Runs.size() && i < spans.size(); ++i) {
        const TRun& run = line.Runs[i];
        const int width = spans[i].Width;
        const QRect box(left + spans[i].Start, rect.top(), width, rect.height());
        if (!exposed.intersects(Ink(box.left(), spans[i], rect.height()).translated(0, rect.top())))
            continue;
        const QColor colour = ColourOf(run, colours);
        switch (run.Kind) {
        case TRunKind::Text:
            painter.setPen(colour);
            painter.drawText(box, Qt::AlignLeft | Qt::AlignTop | TextFlags, WindowText(run));
            break;
        case TRunKind::Bar:
            PaintBar(painter, DrawingBox(box.left(), rect.top(), width, metrics), run.Fraction,
                     colour);
            break;
        case TRunKind::Graph:
            PaintGraph(painter, DrawingBox(box.left(), rect.top(), width, metrics), run, cell,
                       colour);
            break;
        }
    }
}

} // namespace statlume
