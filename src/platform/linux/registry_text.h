#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace statlume::platform {

/// Largest settings file the parser accepts, in bytes.
inline constexpr std::size_t MaxRegistryTextSize = 16 * 1024 * 1024;

/// A line that a salvage could not take over.
struct TRegistryLostLine
{
    /// 1-based line number.
    std::size_t Line = 0;
    /// The value's name; empty when the line names none.
    std::string Name;
};

/// Outcome of reading registry export text: the tree, or the first bad line (1-based; 0
/// when the text as a whole is refused) with the reason.
struct TRegistryParseResult
{
    std::optional<TRegistryTree> Tree;
    std::size_t Line = 0;
    std::string Reason;
    /// Salvage only: the first lines lost (at most MaxListedLostLines) and how many were lost.
    std::vector<TRegistryLostLine> Lost;
    std::size_t LostCount = 0;
};

/// Lost lines a salvage lists by name; the rest are only counted.
inline constexpr std::size_t MaxListedLostLines = 20;

/// Reads text in the REGEDIT4 export format: the header line, "[HKEY_CURRENT_USER\\path]"
/// sections and "Name"=dword:hhhhhhhh / "Name"="text" / "Name"=hex:hh,hh lines; texts
/// escape \\, \", \r and \n. Keys beyond MaxKeyDepth levels or MaxKeyNameLength characters a
/// name, and texts above MaxRegistryTextSize, are refused. Never throws on bad input; time
/// and memory are linear in the text's size.
TRegistryParseResult ParseRegistryText(std::string_view text);

/// Reads what ParseRegistryText would refuse as far as it can: every well-formed value before
/// and after a bad line is kept, a bad section line loses the values up to the next good one,
/// and a last line without its line ending (a file cut short) is lost too. Tree is empty only
/// when the text as a whole is refused; Line and Reason tell the first bad line.
TRegistryParseResult SalvageRegistryText(std::string_view text);

/// Writes the tree in the format ParseRegistryText reads, keys and values in name order; one
/// section per stored key, so implied parents get none.
std::string FormatRegistryText(const TRegistryTree& tree);

} // namespace statlume::platform
