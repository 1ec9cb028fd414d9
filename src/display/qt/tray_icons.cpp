#include "display/qt/tray_icons.h"

#include <cmath>
#include <utility>
#include <vector>

#include <QFontMetrics>
#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace statlume {

namespace {

constexpr int DesignSize = 16;

/// An icon of pixmaps drawn for fixed sizes that hands them out as they are. QIcon's own
/// engine files every pixmap it returns in the global pixmap cache under the icon's key, so
/// a new figure icon per update would fill that cache and keep the process growing.
class TSizedIconEngine : public QIconEngine
{
public:
    /// Pixmaps in ascending size.
    explicit TSizedIconEngine(std::vector<QPixmap> pixmaps)
        : Pixmaps(std::move(pixmaps))
    {
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode, QIcon::State) override
    {
        const qreal ratio =
            painter->device() != nullptr ? painter->device()->devicePixelRatioF() : 1;
        painter->save();
        painter->setRenderHint(QPainter::SmoothPixmapTransform);
        painter->drawPixmap(rect, Pick(rect.size() * ratio));
        painter->restore();
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override
    {
        return Fitted(Pick(size).size(), size);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode, QIcon::State) override
    {
        const QPixmap& best = Pick(size);
        const QSize fitted = Fitted(best.size(), size);
        return fitted == best.size()
                   ? best
                   : best.scaled(fitted, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }

    /// size is in device pixels already; the scale adds nothing.
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal) override
    {
        return pixmap(size, mode, state);
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        QList<QSize> sizes;
        for (const QPixmap& each : Pixmaps)
            sizes.append(each.size());
        return sizes;
    }

    QString key() const override { return QStringLiteral("statlume_sized"); }
    // QIcon owns the engine it is given and deletes the clone it asks for.
    QIconEngine* clone() const override { return new TSizedIconEngine(*this); }

private:
    /// The smallest pixmap at least as wide as asked, else the largest.
    const QPixmap& Pick(const QSize& size) const
    {
        for (const QPixmap& each : Pixmaps) {
            if (each.width() >= size.width())
                return each;
        }
        return Pixmaps.back();
    }

    /// Never larger than asked, as QIcon promises.
    static QSize Fitted(const QSize& actual, const QSize& wanted)
    {
        return actual.width() > wanted.width() || actual.height() > wanted.height()
                   ? actual.scaled(wanted, Qt::KeepAspectRatio)
                   : actual;
    }

    std::vector<QPixmap> Pixmaps;
};

/// An icon drawn once per tray size.
template <typename Draw> QIcon SizedIcon(Draw&& draw)
{
    std::vector<QPixmap> pixmaps;
    for (const int size : TrayIconSizes)
        pixmaps.push_back(draw(size));
    return QIcon(new TSizedIconEngine(std::move(pixmaps)));
}

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
    return SizedIcon([&colors](int size) { return MarkPixmap(size, colors); });
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
    return SizedIcon([&](int size) { return FigurePixmap(size, figureText, displayFont); });
}

} // namespace statlume
