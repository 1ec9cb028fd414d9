#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "format/item_measure.h"

namespace statlume {

/// Widest bar or graph, in cells; larger widths are read as this.
inline constexpr std::size_t MaxDrawCells = 512;
/// Tallest bar or graph, in text lines; larger heights are read as this.
inline constexpr std::size_t MaxDrawLines = 8;

/// The drawing, threshold and colour options written inside one tag.
struct TDrawOptions
{
    /// BAR=N: cells of the bar; 0 when absent or malformed.
    std::size_t BarCells = 0;
    /// GRAPH=N: cells (and values kept) of the graph; 0 when absent or malformed.
    std::size_t GraphCells = 0;
    /// WARN=X: the warning threshold.
    std::optional<double> Warn;
    /// CRIT=Y: the critical threshold.
    std::optional<double> Crit;
    /// COLOR=#RRGGBB as 0xRRGGBB.
    std::optional<std::uint32_t> Colour;
    /// HEIGHT=N: text lines the bar or graph takes in the window; 1 when absent or malformed.
    std::size_t Lines = 1;

    /// The tag asks for anything beyond the laid-down options.
    bool Any() const { return BarCells != 0 || GraphCells != 0 || Warn || Crit || Colour; }
};

/// One remark about an option of a tag: the keyword and why it is ignored or changed.
struct TDrawNote
{
    std::string_view Option;
    std::string_view Reason;
};

/// Whether the tag holds any of the keywords BAR=, GRAPH=, WARN=, CRIT=, COLOR=, HEIGHT= (ASCII
/// case ignored); a cheap test before reading them.
bool MentionsDrawOptions(std::string_view tag);

/// Reads BAR=, GRAPH=, WARN=, CRIT=, COLOR= and HEIGHT= of a tag, each at its first
/// occurrence anywhere in it, as the laid-down options are. A malformed option counts as
/// absent; a width above MaxDrawCells is read as MaxDrawCells, a height above MaxDrawLines as
/// MaxDrawLines; GRAPH= wins over BAR=; HEIGHT= without either is ignored. Each such case adds
/// a note when notes is given.
TDrawOptions ReadDrawOptions(std::string_view tag, std::vector<TDrawNote>* notes = nullptr);

/// The scale of the item with the given tag name (ASCII case ignored) and FORMAT text; no
/// scale for an unknown name.
TItemScale ScaleOf(std::string_view upperTagName, std::string_view format);

/// One sentence on the drawing, threshold and colour options the item with the given
/// upper-case tag name takes; the options every item takes for an unknown name.
std::string DrawOptionHelp(std::string_view upperTagName);

/// The thresholds left once a pair in the wrong order (WARN above CRIT, or below it where low
/// is bad) is dropped as a whole.
void DropMisorderedThresholds(TDrawOptions& options, bool lowIsBad,
                              std::vector<TDrawNote>* notes = nullptr);

} // namespace statlume
