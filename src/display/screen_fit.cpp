#include "display/screen_fit.h"

#include <algorithm>
#include <cstdint>

namespace statlume {
namespace {

std::int64_t Overlap(const TWindowBox& a, const TWindowBox& b)
{
    const std::int64_t w =
        std::min<std::int64_t>(std::int64_t{a.Left} + a.Width, std::int64_t{b.Left} + b.Width) -
        std::max(a.Left, b.Left);
    const std::int64_t h =
        std::min<std::int64_t>(std::int64_t{a.Top} + a.Height, std::int64_t{b.Top} + b.Height) -
        std::max(a.Top, b.Top);
    return w > 0 && h > 0 ? w * h : 0;
}

// Squared distance from the window's corner to the nearest point of the area.
std::int64_t Distance(const TWindowBox& window, const TWindowBox& area)
{
    const auto axis = [](std::int64_t at, std::int64_t from, std::int64_t size) {
        return std::clamp(at, from, from + std::max<std::int64_t>(size - 1, 0)) - at;
    };
    const std::int64_t dx = axis(window.Left, area.Left, area.Width);
    const std::int64_t dy = axis(window.Top, area.Top, area.Height);
    return dx * dx + dy * dy;
}

// The window's side within the area, and its start clamped so the whole side fits.
void FitSide(int& start, int& size, int areaStart, int areaSize)
{
    size = std::clamp(size, 1, std::max(areaSize, 1));
    start = std::clamp(start, areaStart, areaStart + std::max(areaSize, 1) - size);
}

bool Inside(const TWindowBox& box, const TWindowBox& area)
{
    return box.Left >= area.Left && box.Top >= area.Top &&
           std::int64_t{box.Left} + box.Width <= std::int64_t{area.Left} + area.Width &&
           std::int64_t{box.Top} + box.Height <= std::int64_t{area.Top} + area.Height;
}

} // namespace

std::optional<TWindowBox> FitOnScreens(const TWindowBox& window,
                                       const std::vector<TWindowBox>& areas)
{
    if (areas.empty()) {
        return std::nullopt;
    }
    const TWindowBox shown{window.Left, window.Top, std::max(window.Width, 1),
                           std::max(window.Height, 1)};
    std::int64_t covered = 0;
    const TWindowBox* best = &areas.front();
    std::int64_t bestOverlap = -1;
    std::int64_t bestDistance = 0;
    for (const TWindowBox& area : areas) {
        const std::int64_t overlap = Overlap(shown, area);
        covered += overlap;
        const std::int64_t distance = Distance(shown, area);
        if (overlap > bestOverlap || (overlap == bestOverlap && distance < bestDistance)) {
            best = &area;
            bestOverlap = overlap;
            bestDistance = distance;
        }
    }
    // Screens side by side may share the window between them.
    if (covered >= std::int64_t{shown.Width} * shown.Height) {
        return std::nullopt;
    }
    TWindowBox placed = shown;
    FitSide(placed.Left, placed.Width, best->Left, best->Width);
    FitSide(placed.Top, placed.Height, best->Top, best->Height);
    return placed;
}

TWindowBox PlaceBeside(const TWindowBox& window, int width, int height, const TWindowBox& area,
                       int gap)
{
    const int w = std::clamp(width, 1, std::max(area.Width, 1));
    const int h = std::clamp(height, 1, std::max(area.Height, 1));
    const auto clampedTop = [&](int top) {
        return std::clamp(top, area.Top, area.Top + std::max(area.Height, 1) - h);
    };
    const auto clampedLeft = [&](int left) {
        return std::clamp(left, area.Left, area.Left + std::max(area.Width, 1) - w);
    };
    const TWindowBox candidates[] = {
        {window.Left + window.Width + gap, clampedTop(window.Top), w, h},
        {window.Left - gap - w, clampedTop(window.Top), w, h},
        {clampedLeft(window.Left), window.Top + window.Height + gap, w, h},
        {clampedLeft(window.Left), window.Top - gap - h, w, h},
    };
    for (const TWindowBox& candidate : candidates) {
        if (Inside(candidate, area)) {
            return candidate;
        }
    }
    TWindowBox best{};
    std::int64_t bestOverlap = -1;
    for (const TWindowBox& candidate : candidates) {
        const TWindowBox inside{clampedLeft(candidate.Left), clampedTop(candidate.Top), w, h};
        const std::int64_t overlap = Overlap(inside, window);
        if (bestOverlap < 0 || overlap < bestOverlap) {
            best = inside;
            bestOverlap = overlap;
        }
    }
    return best;
}

} // namespace statlume
