// The load average of /proc/loadavg.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace statlume::platform {

/// The three load averages the kernel keeps (runnable and uninterruptible tasks).
struct TLoadAverage
{
    double OneMinute = 0;
    double FiveMinutes = 0;
    double FifteenMinutes = 0;
};

/// The first three fields of a loadavg text; empty unless all three are non-negative numbers.
std::optional<TLoadAverage> ParseLoadAverage(std::string_view text);

/// The load average from procfsRoot + "/loadavg"; empty when unreadable or malformed.
std::optional<TLoadAverage> ReadLoadAverage(const std::string& procfsRoot = "/proc");

} // namespace statlume::platform
