#include "display/qt/shape_mask.h"

#include <algorithm>

#include "display/qt/fmt_label.h"
#include "display/qt/x11_window_state.h"

#include <QBitmap>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QWidget>

#include <xcb/shape.h>
#include <xcb/xcb.h>

namespace statlume {
namespace {

constexpr std::size_t MaxRectanglesPerRequest = 32768;

QRect DeviceBox(const QRect& box, qreal ratio)
{
    const QPoint topLeft(qRound(box.x() * ratio), qRound(box.y() * ratio));
    const QPoint end(qRound((box.x() + box.width()) * ratio),
                     qRound((box.y() + box.height()) * ratio));
    return {topLeft, QSize(end.x() - topLeft.x(), end.y() - topLeft.y())};
}

// The pixels the label's drawing covers at least half: fainter anti-aliased edges are nearly
// the background's colour and would ring the text on the desktop.
// Drawn at the sink's ratio, so the shape follows the text's device pixels rather than window
// pixels blown up into blocks that cut glyphs.
QRegion CoveredPixels(TFmtLabel& label, qreal ratio)
{
    if (label.width() <= 0 || label.height() <= 0 || label.isHidden()) {
        return {};
    }
    const QRect box = DeviceBox(label.geometry(), ratio);
    QImage image(box.size(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    {
        // What the label draws, without any background.
        QPainter painter(&image);
        label.PaintContent(painter, QRect(QPoint(), label.size()));
    }
    const QImage mask = image.createAlphaMask(Qt::ThresholdAlphaDither);
    return QRegion(QBitmap::fromImage(mask)).translated(box.topLeft());
}

xcb_connection_t* Connection()
{
    const auto* x11 = qGuiApp == nullptr
                          ? nullptr
                          : qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 == nullptr ? nullptr : x11->connection();
}

void SendRectangles(QWidget& window, xcb_shape_op_t op, const std::vector<QRegion>& parts)
{
    xcb_connection_t* connection = Connection();
    std::vector<xcb_rectangle_t> rects;
    for (const QRegion& part : parts) {
        for (const QRect& r : part) {
            rects.push_back({static_cast<std::int16_t>(r.x()), static_cast<std::int16_t>(r.y()),
                             static_cast<std::uint16_t>(r.width()),
                             static_cast<std::uint16_t>(r.height())});
        }
    }
    // A request longer than the server takes breaks the connection: a long list goes in parts,
    // those after the first part of a SET united with it.
    const std::size_t units = xcb_get_maximum_request_length(connection);
    const std::size_t perRequest =
        std::clamp<std::size_t>(units > 8 ? (units - 8) / 2 : 1, 1, MaxRectanglesPerRequest);
    const auto id = NativeWindowId(window);
    std::size_t start = 0;
    do {
        const std::size_t count = std::min(perRequest, rects.size() - start);
        xcb_shape_op_t partOp = op;
        if (start > 0 && op == XCB_SHAPE_SO_SET) {
            partOp = XCB_SHAPE_SO_UNION;
        }
        xcb_shape_rectangles(connection, partOp, XCB_SHAPE_SK_BOUNDING, XCB_CLIP_ORDERING_UNSORTED,
                             id, 0, 0, static_cast<std::uint32_t>(count), rects.data() + start);
        start += count;
    } while (start < rects.size());
    xcb_flush(connection);
}

} // namespace

int TShapeMask::Update(const std::vector<TFmtLabel*>& labels, TShapeSink& sink)
{
    int drawn = 0;
    const qreal ratio = sink.Ratio();
    if (!Sent || Shapes.size() != labels.size() || ratio != SentRatio) {
        SentRatio = ratio;
        Shapes.assign(labels.size(), {});
        // The server unites the parts at once; uniting them here would cost far more.
        std::vector<QRegion> parts;
        parts.reserve(labels.size() + 1);
        bool empty = true;
        for (std::size_t i = 0; i < labels.size(); ++i) {
            Shapes[i] = {DeviceBox(labels[i]->geometry(), ratio), labels[i]->Revision(),
                         CoveredPixels(*labels[i], ratio)};
            parts.push_back(Shapes[i].Pixels);
            empty = empty && Shapes[i].Pixels.isEmpty();
            ++drawn;
        }
        // An empty mask would show the whole window; one pixel keeps it invisible instead.
        if (empty) {
            parts.emplace_back(0, 0, 1, 1);
        }
        sink.Set(parts);
        Sent = true;
        return drawn;
    }
    for (std::size_t i = 0; i < labels.size(); ++i) {
        TLabelShape& shape = Shapes[i];
        const QRect box = DeviceBox(labels[i]->geometry(), ratio);
        if (box == shape.Box && labels[i]->Revision() == shape.Revision) {
            continue;
        }
        const QRect old = shape.Box;
        shape = {box, labels[i]->Revision(), CoveredPixels(*labels[i], ratio)};
        ++drawn;
        sink.Subtract(old);
        QRegion added = shape.Pixels;
        // Labels that overlap the cleared box keep their pixels there.
        for (std::size_t j = 0; j < Shapes.size(); ++j) {
            if (j != i && Shapes[j].Box.intersects(old)) {
                added += Shapes[j].Pixels.intersected(old);
            }
        }
        if (!added.isEmpty()) {
            sink.Add(added);
        }
    }
    return drawn;
}

void TShapeMask::Clear(TShapeSink& sink)
{
    Shapes.clear();
    if (Sent) {
        sink.Clear();
    }
    Sent = false;
}

void SetX11ClickThrough(QWidget& window, bool through)
{
    xcb_connection_t* connection = Connection();
    if (connection == nullptr) {
        return;
    }
    const auto id = NativeWindowId(window);
    if (through) {
        xcb_shape_rectangles(connection, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT,
                             XCB_CLIP_ORDERING_UNSORTED, id, 0, 0, 0, nullptr);
    } else {
        // No mask rather than a rectangle: a rectangle would not grow with the window.
        xcb_shape_mask(connection, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, id, 0, 0, XCB_NONE);
    }
    xcb_flush(connection);
}

void TWindowShapeSink::Set(const std::vector<QRegion>& parts)
{
    if (Connection() == nullptr) {
        QRegion whole;
        for (const QRegion& part : parts) {
            whole += part;
        }
        Window.setMask(whole);
        return;
    }
    SendRectangles(Window, XCB_SHAPE_SO_SET, parts);
}

void TWindowShapeSink::Subtract(const QRect& box)
{
    if (Connection() == nullptr) {
        Window.setMask(Window.mask().subtracted(QRegion(box)));
        return;
    }
    SendRectangles(Window, XCB_SHAPE_SO_SUBTRACT, {QRegion(box)});
}

void TWindowShapeSink::Add(const QRegion& region)
{
    if (Connection() == nullptr) {
        Window.setMask(Window.mask().united(region));
        return;
    }
    SendRectangles(Window, XCB_SHAPE_SO_UNION, {region});
}

qreal TWindowShapeSink::Ratio() const
{
    return Connection() == nullptr ? 1.0 : Window.devicePixelRatioF();
}

void TWindowShapeSink::Clear()
{
    if (Connection() == nullptr) {
        Window.clearMask();
        return;
    }
    xcb_connection_t* connection = Connection();
    xcb_shape_mask(connection, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, NativeWindowId(Window), 0,
                   0, XCB_NONE);
    xcb_flush(connection);
}

} // namespace statlume
