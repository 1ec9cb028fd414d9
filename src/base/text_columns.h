#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace statlume {

/// The text cut at blanks into lines of at most width characters (bytes: ASCII text); a
/// word longer than width stands alone on its line. The blanks at a cut are dropped.
std::vector<std::string> WrappedLines(std::string_view text, std::size_t width);

/// Rows as a table: column i starts where the widths before it end, and each cell wraps
/// within its width less the one-blank gap (the last column within its whole width), so a
/// row takes as many lines as its tallest cell. No line ends in blanks.
std::string ColumnsText(const std::vector<std::vector<std::string>>& rows,
                        std::span<const std::size_t> widths);

} // namespace statlume
