#include "display/qt/text_halo.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include <QImage>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>

namespace statlume {

namespace {

constexpr int MaxHaloWidth = 4;

/// One alpha value per device pixel of a layer, row by row.
struct TAlphaPlane
{
    int Width = 0;
    int Height = 0;
    std::vector<std::uint8_t> Values;

    std::uint8_t At(int x, int y) const { return Values[static_cast<std::size_t>(y) * Width + x]; }
};

TAlphaPlane AlphaOf(const QImage& layer)
{
    TAlphaPlane plane{layer.width(), layer.height(), {}};
    plane.Values.reserve(static_cast<std::size_t>(plane.Width) * plane.Height);
    for (int y = 0; y < plane.Height; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(layer.constScanLine(y));
        for (int x = 0; x < plane.Width; ++x)
            plane.Values.push_back(static_cast<std::uint8_t>(qAlpha(line[x])));
    }
    return plane;
}

// Each pixel takes the highest alpha from first to last pixels before it, across or down:
// the highest, not a sum of copies, so a faint bar track keeps a faint halo instead of
// turning solid.
TAlphaPlane Spread(const TAlphaPlane& from, int first, int last, bool across)
{
    TAlphaPlane to{from.Width, from.Height, {}};
    to.Values.reserve(from.Values.size());
    for (int y = 0; y < from.Height; ++y) {
        for (int x = 0; x < from.Width; ++x) {
            std::uint8_t highest = 0;
            for (int step = first; step <= last; ++step) {
                const int sx = across ? x - step : x;
                const int sy = across ? y : y - step;
                if (sx >= 0 && sx < from.Width && sy >= 0 && sy < from.Height)
                    highest = std::max(highest, from.At(sx, sy));
            }
            to.Values.push_back(highest);
        }
    }
    return to;
}

QImage Tinted(const TAlphaPlane& plane, const QColor& colour, qreal ratio)
{
    QImage image(plane.Width, plane.Height, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    const QRgb rgb = colour.rgb();
    for (int y = 0; y < plane.Height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < plane.Width; ++x)
            line[x] = qPremultiply(qRgba(qRed(rgb), qGreen(rgb), qBlue(rgb), plane.At(x, y)));
    }
    return image;
}

// A widget rendered into an image (the Wayland buffer) paints through a redirection: the
// engine's device is that image, and its ratio is the one the pixels have.
qreal DeviceRatio(const QPainter& painter)
{
    const QPaintEngine* engine = painter.paintEngine();
    const QPaintDevice* device = engine != nullptr ? engine->paintDevice() : painter.device();
    return device != nullptr ? device->devicePixelRatioF() : 1.0;
}

} // namespace

TTextOutline TextOutlineOf(std::int32_t value)
{
    switch (value) {
    case 1:
        return TTextOutline::Outline;
    case 2:
        return TTextOutline::Shadow;
    default:
        return TTextOutline::None;
    }
}

int HaloWidth(int fontHeight)
{
    return std::clamp(1 + fontHeight / 32, 1, MaxHaloWidth);
}

QMargins HaloMargins(TTextOutline outline, int width)
{
    switch (outline) {
    case TTextOutline::Outline:
        return {width, width, width, width};
    case TTextOutline::Shadow:
        return {0, 0, width, width};
    case TTextOutline::None:
        break;
    }
    return {};
}

QColor HaloColour(const QColor& text)
{
    const QColor rgb = text.toRgb();
    const int luma = (299 * rgb.red() + 587 * rgb.green() + 114 * rgb.blue()) / 1000;
    return luma >= 128 ? QColor(Qt::black) : QColor(Qt::white);
}

void PaintWithHalo(QPainter& painter, const QRect& rect, TTextOutline outline, int width,
                   const QColor& colour, const std::function<void(QPainter&, const QRect&)>& draw)
{
    const QRect inner = rect.marginsRemoved(HaloMargins(outline, width));
    if (outline == TTextOutline::None || rect.isEmpty()) {
        draw(painter, inner);
        return;
    }
    // The drawing goes to a layer first, so the halo follows every pixel it covers, whatever
    // drew it, and the shape mask finds the halo like any other pixel.
    const qreal ratio = DeviceRatio(painter);
    QImage layer((QSizeF(rect.size()) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    layer.setDevicePixelRatio(ratio);
    layer.fill(Qt::transparent);
    {
        QPainter layerPainter(&layer);
        layerPainter.setFont(painter.font());
        layerPainter.setPen(painter.pen());
        draw(layerPainter, inner.translated(-rect.topLeft()));
    }
    // Offsets are in device pixels of the layer: a whole number of them at any ratio.
    const int reach = static_cast<int>(std::lround(width * ratio));
    const int first = outline == TTextOutline::Outline ? -reach : 0;
    const TAlphaPlane alpha = AlphaOf(layer);
    const QImage halo =
        Tinted(Spread(Spread(alpha, first, reach, true), first, reach, false), colour, ratio);
    painter.drawImage(rect.topLeft(), halo);
    painter.drawImage(rect.topLeft(), layer);
}

} // namespace statlume
