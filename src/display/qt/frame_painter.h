#pragma once

#include <array>
#include <functional>
#include <span>
#include <vector>

#include "display/wayland/layer_client.h"

#include <QImage>
#include <QRegion>

class QWidget;

namespace statlume {

/// Draws the window into the layer surface's two shm buffers, redrawing only what changed: a
/// buffer that holds the last frame gets the new changes; one a frame behind first gets the
/// last frame's changes copied from the frame on screen; any other is drawn whole.
class TFramePainter
{
public:
    /// Copies buffer rects from the frame on screen into the buffer being drawn.
    using TCopyFunc = std::function<void(std::span<const wayland::TPixelRect>)>;

    /// Draws window into frame: the damage (the window's logical pixels), or all of it when
    /// full is set, the buffer holds no picture or the scale is not whole. Below an opacity
    /// of 1 the picture fades as a whole. Returns the buffer rects that differ from the last
    /// frame; empty means all of them.
    std::vector<wayland::TPixelRect> Paint(QWidget& window, const QRegion& damage, bool full,
                                           double opacity, const wayland::TFramePixels& frame,
                                           const TCopyFunc& copyFromFront);

private:
    QImage& ImageFor(const wayland::TFramePixels& frame);

    /// One image over each buffer, kept so that its paint engine is made once.
    std::array<QImage, 2> Images;
    /// The buffer pixels the last frame drew.
    QRegion LastDrawn;
};

} // namespace statlume
