#include "display/qt/tray_icons.h"

#include <cmath>

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace statlume {

namespace {

constexpr int DesignSize = 16;

/// Colours of one information mark.
struct TMarkColors
{
    QColor Fill;
    /// Transparent for no rim.
    QColor Edge;
    /// Transparent for no shading.
    QColor Shade;
};

/// The mark's outline on a 16-unit grid, each edge rounded to whole pixels of the target
/// size so that stem and serifs stay sharp at every size.
QPainterPath MarkPath(int size)
{
    const double unit = static_cast<double>(size) / DesignSize;
    const auto edges = [unit](double left, double top, double right, double bottom) {
        const auto px = [unit](double units) { return std::round(units * unit); };
        return QRectF(QPointF(px(left), px(top)), QPointF(px(right), px(bottom)));
    };
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    path.addEllipse(edges(6, 1, 10, 5));
    // Stem with a flag at its top left and a foot across its base.
    path.addRect(edges(6, 6, 10, 14));
    path.addRect(edges(4.5, 6, 6, 7.5));
    path.addRect(edges(4.5, 13, 11.5, 15));
    return path.simplified();
}

QPixmap MarkPixmap(int size, const TMarkColors& colors)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPainterPath mark = MarkPath(size);
    const double pixel = std::max(1.0, std::round(size / 16.0));
    if (colors.Shade.alpha() != 0)
        painter.fillPath(mark.translated(pixel, pixel), colors.Shade);
    // A light rim, a whole pixel outside the mark, keeps it readable on dark panels; the
    // pen straddles the edge and the fill covers its inner half.
    if (colors.Edge.alpha() != 0)
        painter.strokePath(
            mark, QPen(colors.Edge, 2 * pixel, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.fillPath(mark, colors.Fill);
    painter.end();
    return QPixmap::fromImage(image);
}

QIcon MarkIcon(const TMarkColors& colors)
{
    QIcon icon;
    for (const int size : TrayIconSizes)
        icon.addPixmap(MarkPixmap(size, colors));
    return icon;
}

QPixmap FigurePixmap(int size, const QString& text, const QFont& displayFont)
{
    const double scale = static_cast<double>(size) / DesignSize;
    // The 16-pixel figure takes the font's height at 96 dpi (8 points = 11 pixels) whatever
    // the screen's dpi: a HiDPI tray asks for a larger icon instead.
    const double pixels = displayFont.pixelSize() > 0 ? displayFont.pixelSize()
                                                      : displayFont.pointSizeF() * 96.0 / 72.0;
    QFont font = displayFont;
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(pixels * scale))));
    // Full hinting snaps the digits' stems to whole pixels, which keeps small figures sharp.
    font.setHintingPreference(QFont::PreferFullHinting);
    const int origin = static_cast<int>(std::lround(scale));
    // "100" is wider than the square at the display font's size: cut off, it would read "10".
    const int room = size - origin;
    const int wide = QFontMetrics(font).horizontalAdvance(text);
    if (wide > room) {
        font.setPixelSize(std::max(1, font.pixelSize() * room / wide));
    }
    QImage image(size, size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QRect(origin, origin, size, size), Qt::AlignLeft | Qt::AlignTop, text);
    painter.end();
    return QPixmap::fromImage(image);
}

} // namespace

QIcon ApplicationIcon()
{
    return MarkIcon({QColor(0x1f, 0x5f, 0xd6), QColor(255, 255, 255, 170), Qt::transparent});
}

QIcon AlertIcon()
{
    return MarkIcon({QColor(0xd4, 0x1e, 0x1e), Qt::transparent, QColor(0x80, 0x80, 0x80)});
}

QIcon ProcessorFigureIcon(const QString& figureText, const QFont& displayFont)
{
    QIcon icon;
    for (const int size : TrayIconSizes)
        icon.addPixmap(FigurePixmap(size, figureText, displayFont));
    return icon;
}

} // namespace statlume
