#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "format/run.h"

namespace statlume {

/// The colours a terminal can show.
enum class TColourDepth
{
    /// No colour codes at all (TERM=dumb, NO_COLOR, not a terminal).
    None,
    /// The eight colours and their bright forms (SGR 30..37, 90..97).
    Basic,
    /// The 256-colour palette (SGR 38;5;N).
    Palette256,
    /// 24-bit colour (SGR 38;2;R;G;B).
    TrueColour,
};

/// Colours of the text outputs.
struct TRunTextStyle
{
    /// Writes ANSI colour codes (a terminal without NO_COLOR).
    bool Ansi = false;
    /// How a custom colour is written: the nearest colour the terminal can show.
    TColourDepth Depth = TColourDepth::TrueColour;
};

/// The SGR parameters that set the foreground nearest to rgb (0xRRGGBB) at depth, as in
/// "38;2;16;255;3", "38;5;46" or "92"; empty for TColourDepth::None.
std::string ForegroundCode(std::uint32_t rgb, TColourDepth depth);

/// The line for a text output: bars as eighth blocks (▏…█) against light shade, graphs as
/// one of ▁…█ per value with blanks where no value is known yet (one line high, whatever
/// their HEIGHT), text as it stands; with Ansi, coloured runs between colour codes, and each
/// cell of a graph in the colour its value had.
std::string RunLineText(const TRunLine& line, const TRunTextStyle& style);

/// A bar of cells characters showing fraction (0..1).
std::string BarText(double fraction, std::size_t cells);

/// A graph of cells characters, the newest value at the right end.
std::string GraphText(const std::vector<float>& history, std::size_t cells);

} // namespace statlume
