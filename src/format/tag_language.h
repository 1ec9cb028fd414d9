#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "format/formatter.h"

namespace statlume {

/// Widest SIZE honoured, in characters; larger widths are read as this.
inline constexpr std::size_t MaxTagWidth = 1024;

/// The options written inside one tag.
struct TTagOptions
{
    /// The FORMAT text, case kept; empty when absent.
    std::string Format;
    /// The word LEADZERO occurs in the tag.
    bool LeadZero = false;
    /// The word DECIMAL occurs in the tag.
    bool Decimal = false;
    /// "SIZE=" occurs in the tag.
    bool HasSize = false;
    /// Minimum width of the value in characters (0..MaxTagWidth).
    std::size_t Width = 0;
    /// The padding character: one UTF-8 character (a blank unless CHAR= says otherwise).
    std::string PadChar = " ";
};

/// Position of the first "<NAME=" directly followed by upperTagName at or after from,
/// ignoring ASCII case; npos when there is none. upperTagName must hold no a..z.
std::size_t FindTagStart(std::string_view text, std::string_view upperTagName,
                         std::size_t from = 0);

/// Reads the FORMAT, LEADZERO, DECIMAL, SIZE and CHAR options of a tag (from "<NAME=" through
/// its ">"); a malformed option counts as absent.
TTagOptions ReadTagOptions(std::string_view tag);

/// Number of characters (code points) of UTF-8 text; a stray byte counts as one.
std::size_t Utf8Length(std::string_view text);

/// Pads value with the tag's padding character up to its width, before the value when
/// padBefore is set, after it otherwise; a value at least as wide is left whole.
void PadValue(std::string& value, const TTagOptions& options, bool padBefore);

/// Splits a template into lines at CR LF, a lone CR or a lone LF (LF CR is two breaks); a
/// break at the very end adds no empty line, and empty text gives no lines.
std::vector<std::string> SplitTemplateLines(std::string_view templateText);

/// Renders one template line through every Active formatter, in registry order; observer,
/// when given, is told of each tag replaced.
std::string RenderLine(const TFormatterList& formatters, std::string_view templateLine,
                       TTagObserver* observer = nullptr);

/// Runs DecideIfActive of every formatter on the whole template text.
void DecideAllActive(const TFormatterList& formatters, std::string_view templateText);

} // namespace statlume
