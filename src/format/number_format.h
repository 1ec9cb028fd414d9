#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/locale_info.h"

namespace statlume {

/// Writes a number in the program's printf-like language: "%.0f" (no decimals), "%f" and
/// "%.2f" (two decimals), "%n" (two decimals, thousands separators), "%.0n" (no decimals,
/// thousands separators), "%g" (shortest form, up to 15 significant digits). Rounding works
/// on the exact decimal expansion of the value, a half away from zero. Separators come
/// from the locale. An unknown pattern is read as "%g".
std::string FormatFloat(std::string_view pattern, double value, const LocaleInfo& locale);

/// Writes an integer: "%d" plain, "%Nd" padded with blanks to width N, "%.Nd" padded with
/// zeros to N digits. An unknown pattern is read as "%d".
std::string FormatInt(std::string_view pattern, std::int64_t value);

} // namespace statlume
