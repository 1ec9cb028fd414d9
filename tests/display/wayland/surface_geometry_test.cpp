#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

#include "display/wayland/surface_geometry.h"

#include <gtest/gtest.h>

namespace statlume::wayland {
namespace {

TEST(SurfaceGeometry, BufferSizeFollowsScale)
{
    struct Row
    {
        const char* name;
        TPixelSize logical;
        std::uint32_t scale120;
        TPixelSize buffer;
    };
    const Row rows[] = {
        {"scale 1", {189, 122}, 120, {189, 122}},
        {"scale 2", {189, 122}, 240, {378, 244}},
        {"1.25 rounds half away from zero", {189, 122}, 150, {236, 153}},
        {"1.5", {101, 33}, 180, {152, 50}},
        {"zero scale counts as 1", {10, 20}, 0, {10, 20}},
        {"empty window still has a pixel", {0, -5}, 120, {1, 1}},
        {"absurd scale is bounded",
         {16384, 2},
         std::numeric_limits<std::uint32_t>::max(),
         {LargestBufferSide, LargestBufferSide}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(BufferSizeFor(row.logical, row.scale120), row.buffer);
    }
}

TEST(SurfaceGeometry, DamageInBufferPixels)
{
    struct Row
    {
        const char* name;
        std::vector<TPixelRect> logical;
        std::uint32_t scale120;
        TPixelSize buffer;
        std::vector<TPixelRect> damage;
    };
    const Row rows[] = {
        {"scale 1", {{1, 17, 169, 13}}, 120, {189, 122}, {{1, 17, 169, 13}}},
        {"scale 2 doubles", {{1, 17, 169, 13}}, 240, {378, 244}, {{2, 34, 338, 26}}},
        {"1.25 draws the whole buffer", {{1, 17, 169, 13}}, 150, {236, 153}, {{0, 0, 236, 153}}},
        {"1.5 draws the whole buffer", {{0, 0, 2, 2}}, 180, {152, 50}, {{0, 0, 152, 50}}},
        {"cut at the buffer's edges", {{-5, 100, 300, 50}}, 120, {189, 122}, {{0, 100, 189, 22}}},
        {"outside or empty rects drop out",
         {{200, 0, 5, 5}, {3, 3, 0, 9}, {4, 4, 1, 1}},
         120,
         {189, 122},
         {{4, 4, 1, 1}}},
        {"huge numbers do not overflow",
         {{2000000000, 0, 2000000000, 5}, {0, 0, 2147483647, 2147483647}},
         960,
         {800, 800},
         {{0, 0, 800, 800}}},
        {"nothing changed", {}, 240, {10, 10}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(BufferDamage(row.logical, row.scale120, row.buffer), row.damage);
    }
}

TEST(SurfaceGeometry, CopyRectsCopiesOnlyWithin)
{
    const TPixelSize size{4, 3};
    const std::vector<std::uint32_t> from(12, 7);
    std::vector<std::uint32_t> to(12, 0);
    const std::vector<TPixelRect> rects{{1, 1, 2, 1}, {3, 2, 9, 9}, {-1, -1, 2, 2}};
    CopyRects(from.data(), to.data(), size, 16, rects);
    EXPECT_EQ(to, (std::vector<std::uint32_t>{7, 0, 0, 0, 0, 7, 7, 0, 0, 0, 0, 7}));
}

TEST(SurfaceGeometry, DragKeepsTheGrabPointUnderThePointer)
{
    struct Row
    {
        const char* name;
        TLogicalPoint applied;
        double x;
        double y;
        TLogicalPoint grab;
        TLogicalPoint margins;
    };
    const Row rows[] = {
        {"no motion", {300, 200}, 10, 5, {10, 5}, {300, 200}},
        {"right and down", {300, 200}, 25.7, 9.2, {10, 5}, {315, 204}},
        {"past the output's left edge", {3, 2}, -4.5, 1, {10, 5}, {-12, -2}},
        {"a non-finite position does not move",
         {300, 200},
         std::numeric_limits<double>::quiet_NaN(),
         5,
         {0, 5},
         {300, 200}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(DraggedMargins(row.applied, row.x, row.y, row.grab), row.margins);
    }
}

TEST(SurfaceGeometry, DragFollowsThePointersOwnMotion)
{
    struct Row
    {
        const char* name;
        std::vector<std::pair<double, double>> motions;
        TPixelSize output;
        TLogicalPoint margins;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // Pressed at 310,205 on the output, 10,5 inside the surface.
    const Row rows[] = {
        {"steps add up", {{10, 6}, {10, 6}, {10, 6}}, {1280, 720}, {330, 218}},
        {"fractions add up before rounding", {{0.4, 0.4}, {0.4, 0.4}, {0.4, 0.4}}, {}, {301, 201}},
        {"the cursor stops at the output's edge",
         {{2000, -900}, {-10, 10}},
         {1280, 720},
         {1259, 5}},
        {"no known output keeps nothing", {{-400, 0}}, {}, {-100, 200}},
        {"a non-finite motion is none", {{nan, 3}}, {1280, 720}, {300, 203}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TBodyDrag drag{310, 205, {10, 5}};
        TLogicalPoint margins{300, 200};
        for (const auto& [dx, dy] : row.motions) {
            margins = FollowPointer(drag, dx, dy, row.output);
        }
        EXPECT_EQ(margins, row.margins);
    }
}

} // namespace
} // namespace statlume::wayland
