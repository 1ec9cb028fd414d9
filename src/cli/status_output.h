#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_options.h"
#include "format/run.h"
#include "format/run_text.h"

namespace statlume {

/// How a run writes each update.
struct TOutputFormat
{
    TOutputStyle Style = TOutputStyle::Lines;
    /// What joins the lines in the one-line style.
    std::string Separator = " | ";
    /// ANSI colours in the Lines style (a terminal without NO_COLOR).
    bool Colour = false;
    /// How many colours that terminal shows.
    TColourDepth Depth = TColourDepth::TrueColour;
};

/// One update as written: the lines each ended by a line break and an empty line after them
/// (Lines); one JSON object {"text","tooltip","class"} ended by a line break, where text is
/// the first line, tooltip all lines joined by "\n" and class "alert" when alert is set,
/// else "" (Json); or the lines joined by the separator, ended by a line break (OneLine).
/// JSON escapes control characters; the other styles write the lines as rendered.
std::string FormatUpdate(const TOutputFormat& format, const std::vector<std::string>& lines,
                         bool alert);

/// One update from rendered runs: drawings as block characters, colours in the Lines style
/// when format.Colour is set. JSON adds "percentage" (the first run of the first line whose
/// item has a maximum, 0..100) and, in class, "warning" or "critical" for the highest
/// threshold crossed on any line, beside "alert" (then class is an array).
std::string FormatUpdate(const TOutputFormat& format, const std::vector<TRunLine>& lines,
                         bool alert);

/// The update while no record has come from the server: no figures, which would all read zero,
/// only the reason as the tooltip and the class "alert" (Json); nothing in the other styles.
std::string NoRecordUpdate(const TOutputFormat& format, std::string_view reason);

/// The colours the Lines style may use: none unless out is a terminal, NO_COLOR is not set
/// and TERM names a terminal other than "dumb"; 24-bit where COLORTERM says "truecolor" or
/// "24bit" or TERM ends in "-direct"; 256 where TERM has "256color"; else the basic sixteen.
TColourDepth TerminalColours(bool outIsTerminal, const char* noColour, const char* term,
                             const char* colourTerm);

} // namespace statlume
