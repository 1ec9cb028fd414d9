#include "display/wayland/surface_geometry.h"

#include <algorithm>
#include <cmath>

namespace statlume::wayland {
namespace {

int ScaledSide(int logical, std::uint32_t scale120)
{
    const long long side = std::max(logical, 1);
    // Half away from zero, as the compositor rounds the viewport's destination.
    const long long scaled = (side * scale120 + ScaleDenominator / 2) / ScaleDenominator;
    return static_cast<int>(std::clamp(scaled, 1LL, static_cast<long long>(LargestBufferSide)));
}

} // namespace

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

} // namespace statlume::wayland
