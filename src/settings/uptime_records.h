#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace statlume {

/// The stored uptime records of the settings key in use.
struct TUptimeRecords
{
    /// "LongestUptime" in seconds; nullopt when missing or unreadable.
    std::optional<std::int64_t> Longest;
    /// "TotalUptime" in seconds; nullopt when missing or unreadable.
    std::optional<std::int64_t> Total;
    /// "UptimeCount"; nullopt when missing or unreadable.
    std::optional<std::int32_t> Count;
};

/// The 8 little-endian two's complement bytes of a 64-bit number.
std::vector<std::uint8_t> EncodeInt64(std::int64_t value);

/// The number held in exactly 8 little-endian bytes; nullopt for any other length.
std::optional<std::int64_t> DecodeInt64(const std::vector<std::uint8_t>& bytes);

/// Reads the records; a value of another type or size is reported by name and read as
/// missing.
TUptimeRecords ReadUptimeRecords(platform::TRegistry& registry,
                                 const platform::TReportFunc& report);

/// The exit bookkeeping: raises "LongestUptime" to lastUptimeSecs when larger, adds
/// lastUptimeSecs to "TotalUptime" and one to "UptimeCount" (a count below 1 is no record;
/// sums saturate instead of overflowing). Throws platform::TRegistryError on a failed write.
void RecordUptimeAtExit(platform::TRegistry& registry, std::int64_t lastUptimeSecs,
                        const platform::TReportFunc& report);

/// The longest uptime seen, lastUptimeSecs included; a larger current value is stored at once.
std::int64_t LongestUptimeSecs(platform::TRegistry& registry, std::int64_t lastUptimeSecs,
                               const platform::TReportFunc& report);

/// Stored total / count truncated toward zero; lastUptimeSecs when there is no record
/// (either value missing, or a count below 1).
std::int64_t AverageUptimeSecs(platform::TRegistry& registry, std::int64_t lastUptimeSecs,
                               const platform::TReportFunc& report);

/// The Longest Uptime command's message, the uptime written with uptimeFormat.
std::string LongestUptimeMessage(platform::TRegistry& registry, std::string_view uptimeFormat,
                                 std::int64_t lastUptimeSecs, const platform::TReportFunc& report);

/// The Average Uptime command's message, the uptime written with uptimeFormat.
std::string AverageUptimeMessage(platform::TRegistry& registry, std::string_view uptimeFormat,
                                 std::int64_t lastUptimeSecs, const platform::TReportFunc& report);

} // namespace statlume
