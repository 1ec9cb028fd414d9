#pragma once

#include "format/run.h"

#include <QColor>
#include <QFontMetrics>
#include <QRect>

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
};

/// Width in pixels of a rendered line: text with accelerator prefixes applied, drawings one
/// digit's width per cell.
int RunLineWidth(const TRunLine& line, const QFontMetrics& metrics);

/// Draws a rendered line into rect, left- or right-justified by alignment: text runs in
/// their colour, bars and graphs in the font's height, aligned to whole pixels.
void PaintRunLine(QPainter& painter, const QRect& rect, Qt::Alignment alignment,
                  const TRunLine& line, const TRunColours& colours);

} // namespace statlume
