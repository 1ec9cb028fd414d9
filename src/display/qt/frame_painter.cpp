#include "display/qt/frame_painter.h"

#include <algorithm>

#include <QPainter>
#include <QWidget>

namespace statlume {
namespace {

std::vector<wayland::TPixelRect> RectsOf(const QRegion& region)
{
    std::vector<wayland::TPixelRect> rects;
    rects.reserve(static_cast<std::size_t>(region.rectCount()));
    for (const QRect& r : region) {
        rects.push_back({r.x(), r.y(), r.width(), r.height()});
    }
    return rects;
}

} // namespace

QImage& TFramePainter::ImageFor(const wayland::TFramePixels& frame)
{
    QImage& image = Images.at(frame.Slot == 0 ? 0 : 1);
    if (image.constBits() != frame.Data || image.width() != frame.Size.Width ||
        image.height() != frame.Size.Height || image.bytesPerLine() != frame.Stride) {
        image = QImage(static_cast<uchar*>(frame.Data), frame.Size.Width, frame.Size.Height,
                       frame.Stride, QImage::Format_ARGB32_Premultiplied);
    }
    image.setDevicePixelRatio(static_cast<double>(frame.Scale120) / wayland::ScaleDenominator);
    return image;
}

std::vector<wayland::TPixelRect> TFramePainter::Paint(QWidget& window, const QRegion& damage,
                                                      bool full, double opacity,
                                                      const wayland::TFramePixels& frame,
                                                      const TCopyFunc& copyFromFront)
{
    QImage& image = ImageFor(frame);
    const QRegion changed = damage.intersected(window.rect());
    std::vector<wayland::TPixelRect> rects =
        wayland::BufferDamage(RectsOf(changed), frame.Scale120, frame.Size);
    QRegion drawn;
    for (const wayland::TPixelRect& r : rects) {
        drawn += QRect(r.X, r.Y, r.Width, r.Height);
    }
    // Only a whole scale maps logical rects onto whole pixels.
    const bool whole = full || frame.Age == 0 || frame.Age > 2 ||
                       frame.Scale120 % wayland::ScaleDenominator != 0 ||
                       drawn == QRegion(image.rect());
    if (whole) {
        rects.clear();
        drawn = image.rect();
        image.fill(Qt::transparent);
    } else if (frame.Age == 2) {
        copyFromFront(RectsOf(LastDrawn.subtracted(drawn)));
    }
    {
        QPainter painter(&image);
        if (!whole) {
            painter.setClipRegion(changed);
            painter.setCompositionMode(QPainter::CompositionMode_Source);
            painter.fillRect(changed.boundingRect(), Qt::transparent);
            painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        }
        QWidget::RenderFlags flags = QWidget::DrawChildren;
        // Transparent windows fill no background: only the text reaches the buffer.
        if (window.autoFillBackground()) {
            flags |= QWidget::DrawWindowBackground;
        }
        // render() puts the region's top-left corner at the offset given.
        window.render(&painter, whole ? QPoint() : changed.boundingRect().topLeft(),
                      whole ? QRegion() : changed, flags);
        if (opacity < 1) {
            // As a compositor fades a window, without the extra image render() would paint
            // through at a painter opacity below 1.
            painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
            painter.fillRect(QRectF(QPointF(), image.deviceIndependentSize()),
                             QColor(0, 0, 0, qRound(std::clamp(opacity, 0.0, 1.0) * 255)));
        }
    }
    LastDrawn = drawn;
    return rects;
}

} // namespace statlume
