#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace statlume::wayland {

/// A size in pixels.
struct TPixelSize
{
    int Width = 0;
    int Height = 0;
    bool operator==(const TPixelSize&) const = default;
};

/// A point or offset in an output's logical pixels.
struct TLogicalPoint
{
    int X = 0;
    int Y = 0;
    bool operator==(const TLogicalPoint&) const = default;
};

/// A rectangle in pixels.
struct TPixelRect
{
    int X = 0;
    int Y = 0;
    int Width = 0;
    int Height = 0;
    bool operator==(const TPixelRect&) const = default;
};

/// One fractional-scale unit: the protocol sends scales in 120ths.
inline constexpr std::uint32_t ScaleDenominator = 120;

/// The largest buffer side drawn: an absurd scale must not take gigabytes of memory.
inline constexpr int LargestBufferSide = 16384;

/// The buffer for a surface of logical size at scale120 / 120: each side rounded half away
/// from zero as the compositor scales the viewport, within 1..LargestBufferSide; zero or
/// negative input sides count as 1 and a zero scale as 1.
TPixelSize BufferSizeFor(TPixelSize logical, std::uint32_t scale120);

/// The buffer pixels to redraw for the changed logical rects at scale120 / 120, within the
/// buffer; empty rects drop out. At a scale that is not whole a logical edge falls inside a
/// pixel, so the whole buffer is redrawn.
std::vector<TPixelRect> BufferDamage(std::span<const TPixelRect> logical, std::uint32_t scale120,
                                     TPixelSize buffer);

/// Copies the rects (clipped to size) from one buffer to another of that size; both hold
/// 32-bit pixels, stride bytes a row.
void CopyRects(const void* from, void* to, TPixelSize size, int stride,
               std::span<const TPixelRect> rects);

/// Where the surface's top-left goes while its body is dragged: the pointer's place on the
/// output (applied margins + the surface-local pointer) less the grab offset inside the
/// surface. Local positions are rounded down to whole logical pixels.
TLogicalPoint DraggedMargins(TLogicalPoint appliedMargins, double pointerX, double pointerY,
                             TLogicalPoint grab);

/// A body drag that follows the pointer's own motion. Surface-local positions cannot place a
/// surface that moves under the pointer on every compositor: sway measures them during a drag
/// from where the surface was at the press.
struct TBodyDrag
{
    /// The pointer's place on the output, in logical pixels.
    double PointerX = 0;
    double PointerY = 0;
    /// The press point inside the surface.
    TLogicalPoint Grab;
};

/// Moves the drag's pointer by dx, dy, kept on an output of that size as the compositor keeps
/// its cursor on the screen (a side below 1 keeps nothing), and returns the margins that put
/// the grab point under it, rounded down to whole logical pixels. A non-finite motion is none.
TLogicalPoint FollowPointer(TBodyDrag& drag, double dx, double dy, TPixelSize output);

} // namespace statlume::wayland
