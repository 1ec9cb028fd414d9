#include "display/screen_fit.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

TEST(ScreenFit, PlacesTheWholeWindowOnTheNearestScreen)
{
    // A 1600 x 900 screen whose bottom 24 rows hold a panel, and a second one to its right.
    const TWindowBox left{0, 0, 1600, 876};
    const TWindowBox right{1600, 0, 1280, 1024};
    struct TCase
    {
        const char* name;
        std::vector<TWindowBox> areas;
        TWindowBox window;
        std::optional<TWindowBox> expected;
    };
    const TCase cases[] = {
        {"inside stays", {left}, {100, 100, 200, 80}, std::nullopt},
        {"exactly filling stays", {left}, {0, 0, 1600, 876}, std::nullopt},
        {"far off goes to the corner, all of it",
         {left},
         {3000, 2000, 200, 80},
         TWindowBox{1400, 796, 200, 80}},
        {"over the panel moves up", {left}, {100, 850, 200, 80}, TWindowBox{100, 796, 200, 80}},
        {"negative", {left}, {-100000, -5, 200, 80}, TWindowBox{0, 0, 200, 80}},
        {"larger than the screen shrinks",
         {left},
         {719, 25, 16384, 16384},
         TWindowBox{0, 0, 1600, 876}},
        {"shared by two screens stays", {left, right}, {1500, 100, 200, 80}, std::nullopt},
        {"nearest of two", {left, right}, {5000, 100, 200, 80}, TWindowBox{2680, 100, 200, 80}},
        {"most overlap wins", {left, right}, {1590, 950, 200, 80}, TWindowBox{1600, 944, 200, 80}},
        {"empty window counts as one pixel", {left}, {1600, 10, 0, 0}, TWindowBox{1599, 10, 1, 1}},
        {"no screens", {}, {3000, 2000, 10, 10}, std::nullopt},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FitOnScreens(c.window, c.areas), c.expected);
    }
}

TEST(ScreenFit, PlacesADialogBesideTheWindow)
{
    const TWindowBox area{0, 0, 1024, 744};
    struct TCase
    {
        const char* name;
        TWindowBox window;
        int width;
        int height;
        TWindowBox expected;
    };
    const TCase cases[] = {
        {"right", {100, 100, 200, 150}, 400, 300, {308, 100, 400, 300}},
        {"right, kept above the bottom", {100, 600, 200, 100}, 400, 300, {308, 444, 400, 300}},
        {"left at the right edge", {800, 25, 200, 150}, 400, 300, {392, 25, 400, 300}},
        {"below a wide window", {0, 0, 1000, 100}, 400, 300, {0, 108, 400, 300}},
        {"above a wide low window", {0, 400, 1000, 300}, 400, 300, {0, 92, 400, 300}},
        {"nowhere free: least covered", {0, 0, 1024, 700}, 400, 300, {0, 444, 400, 300}},
        {"larger than the screen", {0, 0, 10, 10}, 3000, 3000, {0, 0, 1024, 744}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(PlaceBeside(c.window, c.width, c.height, area, 8), c.expected);
    }
}

} // namespace
} // namespace statlume
