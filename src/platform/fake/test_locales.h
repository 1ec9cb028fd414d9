#pragma once

#include "base/locale_info.h"

namespace statlume::platform {

/// English (United States): "." decimals, "," thousands, "m/d/yyyy", "h:nn:ss AMPM" with
/// "AM"/"PM", English names.
LocaleInfo EnglishUsLocale();

/// German: "," decimals, "." thousands, "dd.mm.yyyy" with "." as date separator, 24-hour
/// "hh:nn:ss", empty am/pm strings, German names (UTF-8).
LocaleInfo GermanLocale();

/// French: "," decimals, a narrow no-break space (U+202F) for thousands, "dd/mm/yyyy",
/// 24-hour "hh:nn:ss", empty am/pm strings, French names (UTF-8).
LocaleInfo FrenchLocale();

} // namespace statlume::platform
