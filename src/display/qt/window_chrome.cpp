#include "display/qt/window_chrome.h"

#include <QByteArray>
#include <QWidget>

namespace statlume {

TWindowChrome::TWindowChrome(QWidget& window, const std::vector<TFmtLabel*>& labels)
    : Window(window)
    , Labels(labels)
{
    // The window always has an alpha channel and paints its own background, so switching
    // Transparent or a compositor coming and going never needs a new native window.
    Window.setAttribute(Qt::WA_TranslucentBackground, true);
    Window.setAutoFillBackground(false);
}

bool TWindowChrome::OnLayerSurface() const
{
    return Window.testAttribute(Qt::WA_DontShowOnScreen);
}

void TWindowChrome::ApplyTransparency(bool transparent, int alpha)
{
    // A window drawn on a Wayland layer surface (not shown by Qt) always composites.
    Compositing = Compositor.Active() || OnLayerSurface();
    ClearBackground = transparent && Compositing;
    Window.setWindowOpacity(transparent && alpha < 255 ? alpha / 255.0 : 1.0);
    // Without a compositor a translucent window shows garbage: cut it to the text instead.
    ShapeMasked = transparent && !Compositing;
    if (!ShapeMasked) {
        TWindowShapeSink sink(Window);
        Shape.Clear(sink);
    }
    UpdateShapeMask();
    Window.update();
}

void TWindowChrome::WatchCompositor(bool transparent, int alpha)
{
    // Only a transparent window looks different with and without a compositor.
    if (transparent && !OnLayerSurface() && Compositor.Active() != Compositing) {
        ApplyTransparency(transparent, alpha);
    }
}

void TWindowChrome::UpdateShapeMask()
{
    // The shape belongs to the native window; showing the window sends it whole.
    if (ShapeMasked && Window.testAttribute(Qt::WA_WState_Created)) {
        TWindowShapeSink sink(Window);
        Shape.Update(Labels, sink);
    }
}

void TWindowChrome::ApplyWindowFlags(TWindowLayer layer)
{
    Qt::WindowFlags flags = Qt::FramelessWindowHint | Qt::Tool;
    if (layer == TWindowLayer::Above) {
        flags |= Qt::WindowStaysOnTopHint;
    } else if (layer == TWindowLayer::Below) {
        flags |= Qt::WindowStaysOnBottomHint;
    }
    if (flags == Window.windowFlags()) {
        return;
    }
    // A flag change hides the window; show it again at the same place.
    const bool visible = Window.isVisible();
    const QPoint where = Window.pos();
    Window.setWindowFlags(flags);
    Window.move(where);
    if (visible) {
        Window.show();
    }
}

void TWindowChrome::ApplyLayer(TWindowLayer layer)
{
    ApplyWindowFlags(layer);
    ApplyStates(layer);
}

void TWindowChrome::ApplyStates(TWindowLayer layer)
{
    ApplyWindowStates(Window, layer, layer == TWindowLayer::Below);
}

bool TWindowChrome::SetClickThrough(bool on)
{
    if (on == ClickThroughOn) {
        return false;
    }
    ClickThroughOn = on;
    if (Window.isVisible() && !OnLayerSurface()) {
        SetX11ClickThrough(Window, on);
    }
    return true;
}

void TWindowChrome::Shown(TWindowLayer layer)
{
    // Hiding withdraws the window and its manager forgets its states: give them before mapping.
    ApplyStates(layer);
    Shape.Resend();
    UpdateShapeMask();
    // The native window may be new, with the whole input area of a new window.
    if (!OnLayerSurface()) {
        SetX11ClickThrough(Window, ClickThroughOn);
    }
}

void TWindowChrome::NativeEvent(const QByteArray& eventType, void* message, TWindowLayer layer)
{
    if (!IsMapNotify(eventType, message)) {
        return;
    }
    // A manager that dropped the states while the window was withdrawn gets them again.
    ApplyStates(layer);
    // A manager that reads the input shape only when told of a change (openbox gives it to its
    // frame) may have missed one sent before it took the window.
    if (ClickThroughOn) {
        SetX11ClickThrough(Window, true);
    }
}

} // namespace statlume
