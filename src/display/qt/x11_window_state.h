#pragma once

class QWidget;

namespace statlume {

/// True when the application runs on the X11 (xcb) platform.
bool OnX11();

/// True when window contents may be translucent: a compositing manager owns the X11
/// _NET_WM_CM_S0 selection, or the platform is not X11 (Wayland and offscreen composite).
bool CompositorAvailable();

/// Pins a shown top-level window to the desktop (kept below others, on every workspace, off
/// the taskbar and pager) or unpins it, through EWMH requests to the X11 window manager;
/// does nothing on other platforms.
void SetPinnedStates(QWidget& window, bool pinned);

} // namespace statlume
