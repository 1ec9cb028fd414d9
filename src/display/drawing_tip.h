#pragma once

// The window's tooltip for a line with drawings: what their scale is.

#include <string>

#include "format/run.h"

namespace statlume {

/// One line per bar or graph of line whose scale is known and not 100 (a percentage), such as
/// "Graph scale: 0 to 1234": a network graph drawn against its peak reads as full however
/// small the peak. Empty when no drawing needs one.
std::string DrawingScaleTip(const TRunLine& line);

} // namespace statlume
