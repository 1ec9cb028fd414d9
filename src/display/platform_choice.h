#pragma once
// Which toolkit platform and which output the desktop program takes, from what it finds at
// start: an X display, a Wayland compositor with or without layer-shell, Qt's plugins.

#include <string>

namespace statlume {

/// What start-up finds about the displays, before the toolkit connects to any.
struct TDisplayFacts
{
    /// QT_QPA_PLATFORM is set: the user's choice of toolkit platform stands.
    bool QtPlatformGiven = false;
    /// WAYLAND_DISPLAY is set.
    bool Wayland = false;
    /// DISPLAY is set (X11, or XWayland in a Wayland session).
    bool X = false;
    /// "--x11" was given: no layer surface even where the compositor offers one.
    bool ForceX11 = false;
    /// Qt's Wayland platform plugin is installed.
    bool QtWaylandPlugin = false;
};

/// Start-up connects to the compositor for a layer surface only where this is true.
bool WantsLayerSurface(const TDisplayFacts& facts);

/// How the window is put on screen.
enum class TWindowOutput
{
    /// A window of the toolkit's own platform that can place itself (X11, or any platform
    /// the user chose).
    Toolkit,
    /// Our own layer surface; the toolkit keeps menus and dialogs.
    LayerSurface,
    /// An ordinary Wayland window of the toolkit: the compositor places it.
    PlainWayland,
    /// No platform can show anything: the program ends with Message.
    None
};

/// The choice: the toolkit platform to ask for and the one line that says why.
struct TPlatformChoice
{
    TWindowOutput Output = TWindowOutput::Toolkit;
    /// The value for QT_QPA_PLATFORM; empty leaves the toolkit's own choice.
    std::string QtPlatform;
    /// The line for stderr; empty when there is nothing to say.
    std::string Message;
};

/// The choice for facts once the layer surface was tried: layerReason is empty when a layer
/// surface is connected, else why there is none (ignored where none was wanted).
TPlatformChoice ChooseDisplayPlatform(const TDisplayFacts& facts, const std::string& layerReason);

} // namespace statlume
