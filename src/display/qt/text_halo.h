#pragma once

#include <cstdint>
#include <functional>

#include <QColor>
#include <QMargins>
#include <QRect>

class QPainter;

namespace statlume {

/// What is drawn around the display font's drawing so it reads on any background; the values
/// are those of the "TextOutline" setting.
enum class TTextOutline : std::uint8_t
{
    None = 0,
    /// A ring of the halo colour on every side.
    Outline = 1,
    /// The halo colour below and to the right.
    Shadow = 2,
};

/// The outline of a stored "TextOutline" value; a value out of range is None.
TTextOutline TextOutlineOf(std::int32_t value);

/// Width in pixels of an outline or shadow for a font whose lines are fontHeight pixels high:
/// 1, growing with large fonts up to 4.
int HaloWidth(int fontHeight);

/// The room a drawing needs around it: width on every side for an outline, on the right and
/// bottom for a shadow, none for None.
QMargins HaloMargins(TTextOutline outline, int width);

/// The halo colour around text drawn in text: black around light text, white around dark.
QColor HaloColour(const QColor& text);

/// Calls draw with rect less HaloMargins and draws the outline or shadow of whatever it drew
/// (text, bars, graphs) under it in colour; with None it only calls draw.
void PaintWithHalo(QPainter& painter, const QRect& rect, TTextOutline outline, int width,
                   const QColor& colour, const std::function<void(QPainter&, const QRect&)>& draw);

} // namespace statlume
