#pragma once

#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

#include "format/run.h"

namespace statlume {

/// Characters (UTF-8 code points) in text: the cells it takes in a fixed-width font.
std::size_t CharacterCount(std::string_view text);

/// Where each run of a line starts, given each run's width and the width of one cell (a
/// digit's): a text run right after the run before it; a drawing there too, or at its
/// character column times cell when that lies further on. A column counts the characters of
/// the text before it and the cells of the drawings before it, as the text outputs lay the
/// line down, so the drawings of a template line up in columns and stay put while the
/// figures before them change width, in any font.
std::vector<int> RunStarts(const TRunLine& line, std::span<const int> widths, int cell);

} // namespace statlume
