#pragma once

#include <cstdint>

class QByteArray;
class QWidget;

namespace statlume {

/// True when the application runs on the X11 (xcb) platform.
bool OnX11();

/// The X11 id of a top-level window's current native window (created if need be).
std::uint32_t NativeWindowId(QWidget& window);

/// Tells whether window contents may be translucent: a compositing manager owns the X11
/// _NET_WM_CM_S<screen> selection, or the platform is not X11 (Wayland and offscreen composite).
class TCompositorWatch
{
public:
    /// Asks the X server now: one round trip, cheap enough for every tick.
    bool Active();

private:
    std::uint32_t Selection = 0;
};

/// Where the window stays among the others.
enum class TWindowLayer
{
    Normal,
    Above,
    Below,
};

/// Gives a top-level window its EWMH states: always off the taskbar and pager, its layer, and
/// on every workspace when sticky. An unmapped window gets them as properties that the window
/// manager reads when it maps the window (a window manager drops them when a window is
/// unmapped); a mapped one gets them through requests to the window manager. Does nothing on
/// other platforms or before the native window exists.
void ApplyWindowStates(QWidget& window, TWindowLayer layer, bool sticky);

/// True when a native event of the window is the X11 MapNotify: the window manager has just
/// mapped it.
bool IsMapNotify(const QByteArray& eventType, const void* message);

} // namespace statlume
