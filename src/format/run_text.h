#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "format/run.h"

namespace statlume {

/// Colours of the text outputs.
struct TRunTextStyle
{
    /// Writes ANSI colour codes (a terminal without NO_COLOR).
    bool Ansi = false;
};

/// The line for a text output: bars as eighth blocks (▏…█) against light shade, graphs as
/// one of ▁…█ per value with blanks where no value is known yet, text as it stands; with
/// Ansi, coloured runs between colour codes.
std::string RunLineText(const TRunLine& line, const TRunTextStyle& style);

/// A bar of cells characters showing fraction (0..1).
std::string BarText(double fraction, std::size_t cells);

/// A graph of cells characters, the newest value at the right end.
std::string GraphText(const std::vector<float>& history, std::size_t cells);

} // namespace statlume
