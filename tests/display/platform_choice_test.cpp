#include "display/platform_choice.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

constexpr const char* NoLayerShell =
    "the Wayland compositor lacks the zwlr_layer_shell_v1 protocol";

TEST(PlatformChoice, EveryDisplayGetsAPlatformOrAClearEnd)
{
    using enum TWindowOutput;
    struct Row
    {
        const char* name;
        TDisplayFacts facts;
        const char* layerReason;
        TWindowOutput output;
        const char* qtPlatform;
        const char* said;
    };
    // Facts: QT_QPA_PLATFORM given, WAYLAND_DISPLAY, DISPLAY, --x11, Qt's Wayland plugin.
    const Row rows[] = {
        {"X11 alone", {false, false, true, false, false}, "", Toolkit, "xcb", ""},
        {"no display at all",
         {false, false, false, false, true},
         "",
         None,
         "",
         "neither DISPLAY nor WAYLAND_DISPLAY"},
        {"the user's platform", {true, false, false, false, false}, "", Toolkit, "", ""},
        {"layer-shell with XWayland",
         {false, true, true, false, false},
         "",
         LayerSurface,
         "xcb",
         "a Wayland layer surface"},
        {"layer-shell without XWayland",
         {false, true, false, false, true},
         "",
         LayerSurface,
         "wayland",
         "a Wayland layer surface"},
        {"layer-shell, no X, no plugin",
         {false, true, false, false, false},
         "",
         None,
         "",
         "qt6-wayland"},
        {"weston with XWayland",
         {false, true, true, false, false},
         NoLayerShell,
         Toolkit,
         "xcb",
         "through XWayland: the Wayland compositor lacks"},
        {"weston without X",
         {false, true, false, false, true},
         NoLayerShell,
         PlainWayland,
         "wayland",
         "an ordinary Wayland window (the Wayland compositor lacks"},
        {"weston without X or plugin",
         {false, true, false, false, false},
         NoLayerShell,
         None,
         "",
         "no X display exists and Qt's Wayland platform plugin"},
        {"--x11 with X",
         {false, true, true, true, false},
         "",
         Toolkit,
         "xcb",
         "X11 (xcb), as --x11 asks"},
        {"--x11 without X",
         {false, true, false, true, true},
         "",
         PlainWayland,
         "wayland",
         "--x11 asks for X11, but no X display exists"},
        {"the user's platform on weston",
         {true, true, false, false, false},
         NoLayerShell,
         Toolkit,
         "",
         "QT_QPA_PLATFORM names (the Wayland compositor lacks"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const TPlatformChoice choice = ChooseDisplayPlatform(row.facts, row.layerReason);
        EXPECT_EQ(choice.Output, row.output);
        EXPECT_EQ(choice.QtPlatform, row.qtPlatform);
        EXPECT_NE(choice.Message.find(row.said), std::string::npos) << choice.Message;
        // One line: the choice is said once.
        EXPECT_EQ(choice.Message.find('\n'), std::string::npos);
    }
}

} // namespace
} // namespace statlume
