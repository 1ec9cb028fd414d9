#include "display/qt/run_painter.h"

#include <algorithm>
#include <array>
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
    if (a.Kind != b.Kind || a.Tone != b.Tone || a.BaseTone != b.BaseTone || a.Rgb != b.Rgb)
        return false;
    switch (a.Kind) {
    case TRunKind::Text:
        return a.Text == b.Text && a.Padding == b.Padding;
    case TRunKind::Bar:
        return a.Cells == b.Cells && a.Fraction == b.Fraction;
    case TRunKind::Graph:
        return a.Cells == b.Cells && a.History == b.History && a.HistoryTones == b.HistoryTones;
    }
    return false;
}

QColor ColourOf(TRunTone tone, std::uint32_t rgb, const TRunColours& colours)
{
    QColor colour = colours.Text;
    switch (tone) {
    case TRunTone::Plain:
        return colour;
    case TRunTone::Custom:
        colour = QColor::fromRgb(static_cast<QRgb>(rgb));
        break;
    case TRunTone::Warning:
        colour = colours.Warn;
        break;
    case TRunTone::Critical:
        colour = colours.Crit;
        break;
    }
    if (!colours.FadeTo)
        return colour;
    // The same halfway mix the text of old figures gets, so no alarm colour looks current.
    const QColor& to = *colours.FadeTo;
    return QColor((colour.red() + to.red()) / 2, (colour.green() + to.green()) / 2,
                  (colour.blue() + to.blue()) / 2, colour.alpha());
}

double Clamped(double fraction)
{
    return std::isfinite(fraction) ? std::clamp(fraction, 0.0, 1.0) : 0.0;
}

QColor Faint(QColor colour, float alpha)
{
    colour.setAlphaF(colour.alphaF() * alpha);
    return colour;
}

// The drawing area of a run: lines of the font's height less a little air above and below,
// so drawings of adjacent lines do not touch.
QRect DrawingBox(int left, int top, int width, const QFontMetrics& metrics, std::size_t lines)
{
    const int height = metrics.height();
    const int air = std::max(1, height / 8);
    return {left, top + air, width, std::max(1, height * static_cast<int>(lines) - 2 * air)};
}

void PaintBar(QPainter& painter, const QRect& box, double fraction, const QColor& colour)
{
    painter.fillRect(box, Faint(colour, 0.25f));
    const int filled = static_cast<int>(std::lround(Clamped(fraction) * box.width()));
    if (filled > 0)
        painter.fillRect(QRect(box.left(), box.top(), filled, box.height()), colour);
}

// A graph's columns of one tone: the fill under the line and the line along their tops.
struct TToneColumns
{
    QVarLengthArray<QRect, 64> Fills;
    QVarLengthArray<QRect, 64> Edges;
};

// Widens the last rectangle where this one continues it: a flat stretch is one call.
void AppendMerged(QVarLengthArray<QRect, 64>& rects, const QRect& rect)
{
    if (!rects.isEmpty()) {
        QRect& last = rects.back();
        if (last.top() == rect.top() && last.height() == rect.height() &&
            last.right() + 1 == rect.left()) {
            last.setRight(rect.right());
            return;
        }
    }
    rects.append(rect);
}

void PaintGraph(QPainter& painter, const QRect& box, const TRun& run, int cell,
                const TRunColours& colours)
{
    const QColor base = ColourOf(run.BaseTone, run.Rgb, colours);
    painter.fillRect(box, Faint(base, 0.12f));
    // The line grows with a very tall box only, so it stays crisp.
    const int line = std::max(1, box.height() / 24);
    painter.fillRect(QRect(box.left(), box.bottom() + 1 - line, box.width(), line),
                     Faint(base, 0.35f));
    const std::size_t shown = std::min(run.History.size(), run.Cells);
    const std::size_t first = run.History.size() - shown;
    // One value per cell, the newest at the right edge, each in the tone it had when it came;
    // a value shows at least its line, and the lines of the columns read as one stepped line.
    // The rectangles go to the engine a colour at a time: one call each costs more than their
    // pixels, which is also why the steps are not joined by upright strokes.
    std::array<TToneColumns, static_cast<std::size_t>(TRunTone::Critical) + 1> tones;
    for (std::size_t i = 0; i < shown; ++i) {
        const std::size_t index = first + i;
        const int x = box.right() + 1 - static_cast<int>(shown - i) * cell;
        const int height = std::max(
            line, static_cast<int>(std::lround(Clamped(run.History[index]) * box.height())));
        const int top = box.bottom() + 1 - height;
        const TRunTone tone =
            index < run.HistoryTones.size() ? run.HistoryTones[index] : run.BaseTone;
        TToneColumns& columns = tones[static_cast<std::size_t>(tone)];
        if (height > line)
            AppendMerged(columns.Fills, QRect(x, top + line, cell, height - line));
        AppendMerged(columns.Edges, QRect(x, top, cell, line));
    }
    painter.save();
    painter.setPen(Qt::NoPen);
    for (std::size_t t = 0; t < tones.size(); ++t) {
        const TToneColumns& columns = tones[t];
        if (columns.Edges.isEmpty())
            continue;
        const QColor colour = ColourOf(static_cast<TRunTone>(t), run.Rgb, colours);
        painter.setBrush(Faint(colour, 0.45f));
        painter.drawRects(columns.Fills.constData(), static_cast<int>(columns.Fills.size()));
        painter.setBrush(colour);
        painter.drawRects(columns.Edges.constData(), static_cast<int>(columns.Edges.size()));
    }
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
    // Beside a tall drawing the text stands in the middle of the line.
    const int textTop = rect.top() + static_cast<int>(LinesOf(line) - 1) * metrics.height() / 2;
    for (std::size_t i = 0; i < line.Runs.size() && i < spans.size(); ++i) {
        const TRun& run = line.Runs[i];
        const int width = spans[i].Width;
        const QRect box(left + spans[i].Start, rect.top(), width, rect.height());
        if (!exposed.intersects(Ink(box.left(), spans[i], rect.height()).translated(0, rect.top())))
            continue;
        switch (run.Kind) {
        case TRunKind::Text:
            painter.setPen(ColourOf(run.Tone, run.Rgb, colours));
            painter.drawText(QRect(box.left(), textTop, width, rect.bottom() + 1 - textTop),
                             Qt::AlignLeft | Qt::AlignTop | TextFlags, WindowText(run));
            break;
        case TRunKind::Bar:
            PaintBar(painter, DrawingBox(box.left(), rect.top(), width, metrics, run.Lines),
                     run.Fraction, ColourOf(run.Tone, run.Rgb, colours));
            break;
        case TRunKind::Graph:
            PaintGraph(painter, DrawingBox(box.left(), rect.top(), width, metrics, run.Lines), run,
                       cell, colours);
            break;
        }
    }
}

} // namespace statlume
