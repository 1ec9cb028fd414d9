#include "display/platform_choice.h"

namespace statlume {
namespace {

constexpr const char* NoPlugin = "Qt's Wayland platform plugin (package qt6-wayland) is missing";

TPlatformChoice Nothing(std::string why)
{
    return {TWindowOutput::None, {}, "no platform to show the window on: " + std::move(why) + "."};
}

// Menus and dialogs stay with the toolkit: X where it exists, else Qt's Wayland platform.
std::string ToolkitBeside(const TDisplayFacts& facts)
{
    if (facts.QtPlatformGiven) {
        return {};
    }
    return facts.X ? "xcb" : "wayland";
}

TPlatformChoice WithoutLayerSurface(const TDisplayFacts& facts, const std::string& why)
{
    if (facts.QtPlatformGiven) {
        return {TWindowOutput::Toolkit,
                {},
                "output: a window of the platform QT_QPA_PLATFORM names (" + why + ")."};
    }
    if (facts.X) {
        return {TWindowOutput::Toolkit, "xcb",
                facts.ForceX11 ? "output: X11 (xcb), " + why + "."
                               : "output: X11 (xcb) through XWayland: " + why + "."};
    }
    if (!facts.QtWaylandPlugin) {
        return Nothing("no X display exists and " + std::string(NoPlugin));
    }
    return {TWindowOutput::PlainWayland, "wayland",
            "output: an ordinary Wayland window (" + why +
                "): the compositor places it, so it cannot keep its position, stay on top, "
                "stay below other windows or pin to the desktop here."};
}

} // namespace

bool WantsLayerSurface(const TDisplayFacts& facts)
{
    return facts.Wayland && !facts.ForceX11;
}

TPlatformChoice ChooseDisplayPlatform(const TDisplayFacts& facts, const std::string& layerReason)
{
    if (!facts.Wayland) {
        if (facts.QtPlatformGiven) {
            return {};
        }
        if (!facts.X) {
            return Nothing("neither DISPLAY nor WAYLAND_DISPLAY is set");
        }
        return {TWindowOutput::Toolkit, "xcb", {}};
    }
    if (WantsLayerSurface(facts) && layerReason.empty()) {
        if (!facts.QtPlatformGiven && !facts.X && !facts.QtWaylandPlugin) {
            // The window alone could be drawn, but its menu and dialogs could not.
            return Nothing("no X display exists for the menu and dialogs and " +
                           std::string(NoPlugin));
        }
        return {TWindowOutput::LayerSurface, ToolkitBeside(facts),
                "output: a Wayland layer surface (the compositor offers zwlr_layer_shell_v1)."};
    }
    if (facts.ForceX11) {
        return WithoutLayerSurface(facts, facts.X || facts.QtPlatformGiven
                                              ? "as --x11 asks"
                                              : "--x11 asks for X11, but no X display exists");
    }
    return WithoutLayerSurface(facts, layerReason.empty() ? "no layer surface" : layerReason);
}

} // namespace statlume
