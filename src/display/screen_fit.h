#pragma once

#include <optional>
#include <vector>

#include "display/label_layout.h"

namespace statlume {

/// Where a window goes so that all of it can be seen and reached: nullopt when it already lies
/// wholly within the screens' areas; otherwise the window moved (and, if larger, shrunk) into
/// the area it overlaps most, or the nearest one when it overlaps none. No areas: nullopt.
std::optional<TWindowBox> FitOnScreens(const TWindowBox& window,
                                       const std::vector<TWindowBox>& areas);

/// Where a dialog of the given outer size goes so it does not cover the window: right of it,
/// else left, else below, else above (the edges next to the window aligned and kept within
/// area, gap pixels apart); where none fits, the place within area that covers the least of
/// the window. A dialog larger than area is shrunk to it.
TWindowBox PlaceBeside(const TWindowBox& window, int width, int height, const TWindowBox& area,
                       int gap);

} // namespace statlume
