#pragma once

#include <string>

#include "format/formatter.h"

namespace statlume {

/// The template used when none is stored: eight lines of the items' default usage strings
/// (processor; processes and threads; uptime; page file; memory; date and time; addresses;
/// computer name), joined with CR LF, no break after the last.
std::string ComposeDefaultTemplate(const TFormatterList& formatters);

} // namespace statlume
