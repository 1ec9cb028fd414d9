// The load average of /proc/loadavg.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/figure_source.h"

namespace statlume::platform {

/// The first three fields of a loadavg text; empty unless all three are non-negative numbers.
std::optional<TLoadAverage> ParseLoadAverage(std::string_view text);

/// The load average from procfsRoot + "/loadavg"; empty when unreadable or malformed.
std::optional<TLoadAverage> ReadLoadAverage(const std::string& procfsRoot = "/proc");

} // namespace statlume::platform
