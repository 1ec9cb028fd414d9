#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/locale_info.h"

#include <locale.h>

namespace statlume::platform {

/// The regional settings of the process's current locale (numbers from LC_NUMERIC, dates
/// from LC_TIME), names converted to UTF-8; the caller calls setlocale beforehand.
LocaleInfo ReadProcessLocale();

/// The regional settings of the locale of that name ("de_DE.UTF-8"); nullopt when the
/// machine does not have it.
std::optional<LocaleInfo> ReadNamedLocale(const std::string& name);

/// The regional settings of one locale object, which stays owned by the caller.
LocaleInfo ReadLocale(locale_t locale);

/// The first literal character (a whole UTF-8 sequence) of a strftime pattern, skipping its
/// conversions; `fallback` when there is none.
std::string FirstLiteral(std::string_view strftimePattern, std::string_view fallback);

/// Rewrites a strftime pattern ("%d.%m.%Y") in the DateTime format language ("dd/mm/yyyy"):
/// each occurrence of `separator` becomes `separatorToken` ('/' or ':'), other literal
/// letters and format characters are quoted, conversions without a counterpart are dropped.
std::string ConvertStrftimePattern(std::string_view strftimePattern, std::string_view separator,
                                   char separatorToken);

/// The strftime time pattern without its seconds and the separator before them.
std::string DropSeconds(std::string_view strftimePattern);

/// A long date pattern in the DateTime language with weekday, day, month name and year in
/// the order the strftime date pattern puts day, month and year.
std::string LongDatePattern(std::string_view strftimeDatePattern);

} // namespace statlume::platform
