#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace statlume {

/// Splits text by the comma-text rule: commas and blanks (codes 1 to 32) separate entries, an
/// entry may be double-quoted with "" standing for one quote inside, and a comma at the very
/// end adds one empty entry; empty text gives no entries.
std::vector<std::string> SplitCommaText(std::string_view text);

} // namespace statlume
