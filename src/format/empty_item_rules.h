#pragma once

// Tags that are well formed but show nothing (or not what they name) as written, on this
// machine: one rule per item in a small table.
#include <string>
#include <string_view>

#include "format/item_catalogue.h"
#include "format/machine_facts.h"

namespace statlume {

/// Why the item's tag with this FORMAT shows nothing here, as "FORMAT: ..."; empty text when
/// it shows something or a fact the rule needs is not known.
std::string EmptyItemNote(TItem item, std::string_view format, const TMachineFacts& facts);

} // namespace statlume
