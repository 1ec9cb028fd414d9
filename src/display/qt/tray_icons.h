#pragma once

#include <array>

#include <QFont>
#include <QIcon>
#include <QString>

namespace statlume {

/// Pixel sizes drawn into every tray icon, so trays of any scale get a crisp pixmap.
inline constexpr std::array<int, 5> TrayIconSizes{16, 22, 24, 32, 48};

/// The application icon: a blue "i" information mark on a transparent background.
QIcon ApplicationIcon();

/// The alert icon: the same mark in red with grey shading.
QIcon AlertIcon();

/// The processor figure: figureText in black, drawn with displayFont from (1, 1) on an
/// opaque white 16 x 16 square, and at the larger sizes with font and offset scaled in
/// proportion (a point size counts at 96 dpi); text that does not fit is cut at the edge.
/// Nothing is cached.
QIcon ProcessorFigureIcon(const QString& figureText, const QFont& displayFont);

} // namespace statlume
