#pragma once

#include <string>
#include <string_view>

#include "base/locale_info.h"

namespace statlume {

/// Formats a date-time (days since 1899-12-30, the fraction being the time of day) by the
/// DateTime item's format language; an empty format means "c".
std::string FormatDateTime(std::string_view format, double dateTime, const LocaleInfo& locale);

} // namespace statlume
