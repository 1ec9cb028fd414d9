#include <limits>

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

} // namespace
} // namespace statlume::wayland
