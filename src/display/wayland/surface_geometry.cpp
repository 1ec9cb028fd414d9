#include "display/wayland/surface_geometry.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace statlume::wayland {
namespace {

int ScaledSide(int logical, std::uint32_t scale120)
{
    const long long side = std::max(logical, 1);
    // Half away from zero, as the compositor rounds the viewport's destination.
    const long long scaled = (side * scale120 + ScaleDenominator / 2) / ScaleDenominator;
    return static_cast<int>(std::clamp(scaled, 1LL, static_cast<long long>(LargestBufferSide)));
}

// The part of r within size, or an empty rect.
TPixelRect Clipped(const TPixelRect& r, TPixelSize size)
{
    const long long left = std::max<long long>(r.X, 0);
    const long long top = std::max<long long>(r.Y, 0);
    const long long right = std::min<long long>(static_cast<long long>(r.X) + r.Width, size.Width);
    const long long bottom =
        std::min<long long>(static_cast<long long>(r.Y) + r.Height, size.Height);
    if (r.Width <= 0 || r.Height <= 0 || right <= left || bottom <= top) {
        return {};
    }
    return {static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left),
            static_cast<int>(bottom - top)};
}

} // namespace

std::vector<TPixelRect> BufferDamage(std::span<const TPixelRect> logical, std::uint32_t scale120,
                                     TPixelSize buffer)
{
    std::vector<TPixelRect> damage;
    if (logical.empty() || buffer.Width <= 0 || buffer.Height <= 0) {
        return damage;
    }
    const std::uint32_t scale = scale120 == 0 ? ScaleDenominator : scale120;
    if (scale % ScaleDenominator != 0) {
        damage.push_back({0, 0, buffer.Width, buffer.Height});
        return damage;
    }
    const long long k = scale / ScaleDenominator;
    damage.reserve(logical.size());
    for (const TPixelRect& r : logical) {
        // Sides beyond the buffer are cut before scaling, so nothing overflows.
        const TPixelRect cut = Clipped(r, buffer);
        const TPixelRect scaled =
            Clipped({static_cast<int>(std::min<long long>(cut.X * k, buffer.Width)),
                     static_cast<int>(std::min<long long>(cut.Y * k, buffer.Height)),
                     static_cast<int>(std::min<long long>(cut.Width * k, buffer.Width)),
                     static_cast<int>(std::min<long long>(cut.Height * k, buffer.Height))},
                    buffer);
        if (scaled.Width > 0) {
            damage.push_back(scaled);
        }
    }
    return damage;
}

void CopyRects(const void* from, void* to, TPixelSize size, int stride,
               std::span<const TPixelRect> rects)
{
    const auto* source = static_cast<const unsigned char*>(from);
    auto* target = static_cast<unsigned char*>(to);
    for (const TPixelRect& rect : rects) {
        const TPixelRect r = Clipped(rect, size);
        const auto bytes = static_cast<std::size_t>(r.Width) * 4;
        for (int y = r.Y; y < r.Y + r.Height; ++y) {
            const std::size_t at = static_cast<std::size_t>(y) * static_cast<std::size_t>(stride) +
                                   static_cast<std::size_t>(r.X) * 4;
            std::memcpy(target + at, source + at, bytes);
        }
    }
}

TPixelSize BufferSizeFor(TPixelSize logical, std::uint32_t scale120)
{
    const std::uint32_t scale = scale120 == 0 ? ScaleDenominator : scale120;
    return {ScaledSide(logical.Width, scale), ScaledSide(logical.Height, scale)};
}

TLogicalPoint DraggedMargins(TLogicalPoint appliedMargins, double pointerX, double pointerY,
                             TLogicalPoint grab)
{
    const auto whole = [](double v) {
        return std::isfinite(v) ? static_cast<int>(std::floor(std::clamp(v, -1e6, 1e6))) : 0;
    };
    return {appliedMargins.X + whole(pointerX) - grab.X,
            appliedMargins.Y + whole(pointerY) - grab.Y};
}

TLogicalPoint FollowPointer(TBodyDrag& drag, double dx, double dy, TPixelSize output)
{
    const auto follow = [](double& place, double motion, int side) {
        if (std::isfinite(motion)) {
            place = std::clamp(place + motion, -1e6, 1e6);
        }
        if (side >= 1) {
            place = std::clamp(place, 0.0, static_cast<double>(side - 1));
        }
        return static_cast<int>(std::floor(place));
    };
    const int x = follow(drag.PointerX, dx, output.Width);
    const int y = follow(drag.PointerY, dy, output.Height);
    return {x - drag.Grab.X, y - drag.Grab.Y};
}

} // namespace statlume::wayland
