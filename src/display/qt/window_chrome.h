#pragma once

// The window's X11 and compositor chrome: transparency, shape, layer, click through.

#include <vector>

#include "display/qt/shape_mask.h"
#include "display/qt/x11_window_state.h"

class QByteArray;
class QWidget;

namespace statlume {

class TFmtLabel;

/// What the window looks like to the window manager and the compositor. The window decides
/// (menu checks, alpha, tray) and tells; this part knows X11, Wayland and compositors. A window
/// drawn by the Wayland layer client (WA_DontShowOnScreen) always composites and has no X11
/// window to shape.
class TWindowChrome
{
public:
    /// The chrome of window, whose shape follows labels; both must outlive it. Gives the
    /// window an alpha channel it keeps for good.
    TWindowChrome(QWidget& window, const std::vector<TFmtLabel*>& labels);

    /// Transparent with a compositor: see-through background and alpha below 255 as opacity;
    /// without one: the window cut to its text. Not transparent: the whole, opaque window.
    void ApplyTransparency(bool transparent, int alpha);
    /// Applies the transparency again when a compositor started or stopped while transparent.
    void WatchCompositor(bool transparent, int alpha);
    /// Brings the shape up to date with the labels while the window is cut to its text.
    void UpdateShapeMask();
    /// The compositor's state when the transparency was last applied.
    bool CompositorActive() const { return Compositing; }
    /// The window's background is not painted (transparent with a compositor).
    bool SeeThrough() const { return ClearBackground; }

    /// Stays-on-top or -on-bottom flags for layer; a changed flag shows the window again at
    /// the same place. No EWMH states: for a window not yet shown.
    void ApplyWindowFlags(TWindowLayer layer);
    /// The flags and the EWMH states for layer (Below is on every workspace too).
    void ApplyLayer(TWindowLayer layer);

    /// Clicks pass through the window (on) or it takes them again; false when already so.
    bool SetClickThrough(bool on);
    /// Clicks pass through the window now.
    bool ClickingThrough() const { return ClickThroughOn; }

    /// The window was shown with layer: a hidden window lost its states and maybe its native
    /// window, with its shape and input area.
    void Shown(TWindowLayer layer);
    /// A native event of the window: on its X11 map, the states and input shape again.
    void NativeEvent(const QByteArray& eventType, void* message, TWindowLayer layer);

private:
    void ApplyStates(TWindowLayer layer);
    bool OnLayerSurface() const;

    QWidget& Window;
    const std::vector<TFmtLabel*>& Labels;
    TShapeMask Shape;
    TCompositorWatch Compositor;
    bool Compositing = false;
    bool ClearBackground = false;
    bool ShapeMasked = false;
    bool ClickThroughOn = false;
};

} // namespace statlume
