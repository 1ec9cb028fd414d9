#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/locale_info.h"

namespace statlume {

/// Reads a FORMAT text as a 32-bit whole number: leading blanks, one sign, an optional "$",
/// "x" or "0x" prefix (either case) for hexadecimal, then digits and nothing else. Nothing
/// for any other text or a number outside the 32-bit signed range.
std::optional<std::int32_t> ReadFormatNumber(std::string_view text);

/// ReadFormatNumber, with 0 (the total) for text that is no number.
std::int32_t ReadFormatIndex(std::string_view text);

/// A processor or network figure: no decimals, or two with decimal; with leadZero a "0" in
/// front when the value before rounding is below 10.
std::string FigureText(double value, bool leadZero, bool decimal, const LocaleInfo& locale);

} // namespace statlume
