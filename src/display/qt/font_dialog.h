#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include <QColor>
#include <QFont>

class QWidget;

namespace statlume {

/// The display font as the settings hold it.
struct TFontChoice
{
    /// "FontName": the face, UTF-8; a face this machine lacks is matched by fontconfig.
    std::string Name;
    /// "FontColor": 0x00BBGGRR, or 0x80000000 + a system colour index.
    std::uint32_t Color = 0;
    /// "FontSize" in points.
    int Size = 0;
    /// "FontPitch": 0 default, 1 variable, 2 fixed.
    int Pitch = 0;
    /// "FontStyle": bit 0 bold, bit 1 italic, bit 2 underline, bit 3 strike-out.
    int Style = 0;
    /// "TextOutline": 0 none, 1 outline, 2 shadow (see TTextOutline).
    int Outline = 0;

    /// Equal when every stored part is equal.
    friend bool operator==(const TFontChoice&, const TFontChoice&) = default;
};

/// Style bits of TFontChoice::Style.
inline constexpr int FontStyleBold = 1;
inline constexpr int FontStyleItalic = 2;
inline constexpr int FontStyleUnderline = 4;
inline constexpr int FontStyleStrikeOut = 8;

/// The system colour of window text, the design font's colour.
inline constexpr std::uint32_t WindowTextColor = 0x80000008;
/// Sizes above MaxFontSize points are drawn at it; sizes below 1 at the design size.
inline constexpr int MaxFontSize = 400;

/// The design font: "MS Sans Serif", 8 points, window text colour, default pitch, no style.
TFontChoice DesignFontChoice();

/// The Qt font of a choice, its size bounded as MaxFontSize says; a missing face
/// falls back to the sans-serif (or, for fixed pitch, monospace) face of fontconfig.
QFont ToQFont(const TFontChoice& choice);

/// The colour of a stored colour value; system colours give their usual light-theme colour.
QColor ToQColor(std::uint32_t color);

/// The stored colour value (0x00BBGGRR) of a Qt colour.
std::uint32_t ToColorValue(const QColor& color);

/// Shows the modal font dialog starting from choice. Apply calls onApply with the shown
/// choice at once; Cancel (also Escape or the close button) calls onApply with the original
/// choice and returns false; OK stores the shown choice in choice and returns true.
bool RunFontDialog(QWidget* owner, TFontChoice& choice,
                   const std::function<void(const TFontChoice&)>& onApply);

} // namespace statlume
