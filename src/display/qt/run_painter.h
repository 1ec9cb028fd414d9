#pragma once

#include <optional>
#include <vector>

#include "format/run.h"

#include <QColor>
#include <QFontMetrics>
#include <QRect>
#include <QRegion>

class QPainter;

namespace statlume {

/// The colours runs are drawn in.
struct TRunColours
{
    /// The display font's colour (plain runs).
    QColor Text;
    /// "WarnColor".
    QColor Warn;
    /// "CritColor".
    QColor Crit;
    /// Old figures: every colour but the text's (dimmed already) is drawn halfway to this.
    std::optional<QColor> FadeTo;
};

/// Where a run draws, in pixels along the line.
struct TRunSpan
{
    /// Where the run starts, from the line's left edge.
    int Start = 0;
    /// The run's advance.
    int Width = 0;
    /// How far its glyphs reach past the advance on the left and on the right.
    int InkLeft = 0;
    int InkRight = 0;

    bool operator==(const TRunSpan&) const = default;
};

/// The spans of a line's runs, in the order of its runs.
using TRunSpans = std::vector<TRunSpan>;

/// The spans of a line's runs: text as written but for its padding blanks, which take a
/// digit's width as figure spaces; drawings one digit's width per cell, each
/// drawing at its character column in digit widths unless the text before it reaches further
/// (RunStarts). A text run equal to the one at the same place in before keeps its width from
/// beforeSpans, unmeasured; before is the line last measured in the same font.
TRunSpans MeasureRuns(const TRunLine& line, const QFontMetrics& metrics,
                      const TRunLine& before = {}, const TRunSpans& beforeSpans = {});

/// Width in pixels of a measured line.
int RunLineWidth(const TRunSpans& spans);

/// What a line's change repaints, in x of the line from 0 and the given height: the old and
/// new ink of each run drawn differently, moved or resized, and of each run that came or
/// went. Empty when every run draws as before.
QRegion ChangedRuns(const TRunLine& before, const TRunSpans& beforeSpans, const TRunLine& after,
                    const TRunSpans& afterSpans, int height);

/// Draws the runs of a measured line whose ink meets exposed into rect, left- or right-justified by
/// alignment: text runs in their colour, bars and graphs in the font's height, aligned to
/// whole pixels.
void PaintRunLine(QPainter& painter, const QRect& rect, Qt::Alignment alignment,
                  const TRunLine& line, const TRunSpans& spans, const TRunColours& colours,
                  const QRegion& exposed);

} // namespace statlume
