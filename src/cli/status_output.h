#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_options.h"

namespace statlume {

/// How a run writes each update.
struct TOutputFormat
{
    TOutputStyle Style = TOutputStyle::Lines;
    /// What joins the lines in the one-line style.
    std::string Separator = " | ";
};

/// One update as written: the lines each ended by a line break and an empty line after them
/// (Lines); one JSON object {"text","tooltip","class"} ended by a line break, where text is
/// the first line, tooltip all lines joined by "\n" and class "alert" when alert is set,
/// else "" (Json); or the lines joined by the separator, ended by a line break (OneLine).
/// JSON escapes control characters; the other styles write the lines as rendered.
std::string FormatUpdate(const TOutputFormat& format, const std::vector<std::string>& lines,
                         bool alert);

} // namespace statlume
