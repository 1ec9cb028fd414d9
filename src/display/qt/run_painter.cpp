#include "display/qt/run_painter.h"

#include <algorithm>
#include <cmath>

#include <QPainter>

namespace statlume {

namespace {

// Run text comes from outside too: "&" is drawn as written, never as a mnemonic.
constexpr int TextFlags = Qt::TextSingleLine;

QString Qs(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

int CellWidth(const QFontMetrics& metrics)
{
    return std::max(1, metrics.horizontalAdvance(QLatin1Char('0')));
}

int RunWidth(const TRun& run, const QFontMetrics& metrics)
{
    if (run.Kind == TRunKind::Text)
        return metrics.size(TextFlags, Qs(run.Text)).width();
    // Bounded by the 512-cell cap, so no overflow for any font.
    return static_cast<int>(run.Cells) * CellWidth(metrics);
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
    for (std::size_t i = 0; i < shown; ++i) {
        const int x = box.right() + 1 - static_cast<int>(shown - i) * cell;
        const int height = std::max(
            1, static_cast<int>(std::lround(Clamped(run.History[first + i]) * box.height())));
        painter.fillRect(QRect(x, box.bottom() + 1 - height, cell, height), colour);
    }
}

} // namespace

int RunLineWidth(const TRunLine& line, const QFontMetrics& metrics)
{
    int width = 0;
    for (const TRun& run : line.Runs)
        width += RunWidth(run, metrics);
    return width;
}

void PaintRunLine(QPainter& painter, const QRect& rect, Qt::Alignment alignment,
                  const TRunLine& line, const TRunColours& colours)
{
    const QFontMetrics metrics = painter.fontMetrics();
    int x = rect.left();
    if (alignment & Qt::AlignRight)
        x = rect.right() + 1 - RunLineWidth(line, metrics);
    const int cell = CellWidth(metrics);
    for (const TRun& run : line.Runs) {
        const int width = RunWidth(run, metrics);
        const QColor colour = ColourOf(run, colours);
        switch (run.Kind) {
        case TRunKind::Text:
            painter.setPen(colour);
            painter.drawText(QRect(x, rect.top(), width, rect.height()),
                             Qt::AlignLeft | Qt::AlignTop | TextFlags, Qs(run.Text));
            break;
        case TRunKind::Bar:
            PaintBar(painter, DrawingBox(x, rect.top(), width, metrics), run.Fraction, colour);
            break;
        case TRunKind::Graph:
            PaintGraph(painter, DrawingBox(x, rect.top(), width, metrics), run, cell, colour);
            break;
        }
        x += width;
    }
}

} // namespace statlume
