#include "settings/uptime_records.h"

#include <limits>

#include "format/formatter.h"

namespace statlume {
namespace {

constexpr std::string_view LongestName = "LongestUptime";
constexpr std::string_view TotalName = "TotalUptime";
constexpr std::string_view CountName = "UptimeCount";

void Tell(const platform::TReportFunc& report, const std::string& message)
{
    if (report) {
        report(message);
    }
}

std::optional<std::int64_t> ReadInt64(platform::TRegistry& registry, std::string_view name,
                                      const platform::TReportFunc& report)
{
    try {
        const auto bytes = registry.ReadBinary(name);
        if (!bytes) {
            return std::nullopt;
        }
        if (auto value = DecodeInt64(*bytes)) {
            return value;
        }
    } catch (const platform::TRegistryError&) {
    }
    Tell(report, "Invalid data type for '" + std::string(name) + "'");
    return std::nullopt;
}

std::int64_t SaturatingAdd(std::int64_t a, std::int64_t b)
{
    std::int64_t sum = 0;
    if (!__builtin_add_overflow(a, b, &sum)) {
        return sum;
    }
    return b > 0 ? std::numeric_limits<std::int64_t>::max()
                 : std::numeric_limits<std::int64_t>::min();
}

} // namespace

std::vector<std::uint8_t> EncodeInt64(std::int64_t value)
{
    const auto bits = static_cast<std::uint64_t>(value);
    std::vector<std::uint8_t> bytes(8);
    for (std::size_t i = 0; i < 8; ++i) {
        bytes[i] = static_cast<std::uint8_t>(bits >> (8 * i));
    }
    return bytes;
}

std::optional<std::int64_t> DecodeInt64(const std::vector<std::uint8_t>& bytes)
{
    if (bytes.size() != 8) {
        return std::nullopt;
    }
    std::uint64_t bits = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        bits |= static_cast<std::uint64_t>(bytes[i]) << (8 * i);
    }
    return static_cast<std::int64_t>(bits);
}

TUptimeRecords ReadUptimeRecords(platform::TRegistry& registry, const platform::TReportFunc& report)
{
    TUptimeRecords records;
    records.Longest = ReadInt64(registry, LongestName, report);
    records.Total = ReadInt64(registry, TotalName, report);
    try {
        records.Count = registry.ReadInteger(CountName);
    } catch (const platform::TRegistryError& error) {
        Tell(report, error.what());
    }
    return records;
}

void RecordUptimeAtExit(platform::TRegistry& registry, std::int64_t lastUptimeSecs,
                        const platform::TReportFunc& report)
{
    const TUptimeRecords records = ReadUptimeRecords(registry, report);
    if (records.Longest.value_or(0) < lastUptimeSecs) {
        registry.WriteBinary(LongestName, EncodeInt64(lastUptimeSecs));
    }
    std::int64_t total = 0;
    std::int32_t count = 0;
    // A count below 1 was never written by us; counting on from it would divide by zero.
    if (records.Total && records.Count && *records.Count > 0) {
        total = *records.Total;
        count = *records.Count;
    }
    total = SaturatingAdd(total, lastUptimeSecs);
    if (count < std::numeric_limits<std::int32_t>::max()) {
        ++count;
    }
    registry.WriteBinary(TotalName, EncodeInt64(total));
    registry.WriteInteger(CountName, count);
}

std::int64_t LongestUptimeSecs(platform::TRegistry& registry, std::int64_t lastUptimeSecs,
                               const platform::TReportFunc& report)
{
    std::int64_t longest = ReadInt64(registry, LongestName, report).value_or(0);
    if (longest < lastUptimeSecs) {
        longest = lastUptimeSecs;
        registry.WriteBinary(LongestName, EncodeInt64(longest));
    }
    return longest;
}

std::int64_t AverageUptimeSecs(platform::TRegistry& registry, std::int64_t lastUptimeSecs,
                               const platform::TReportFunc& report)
{
    const TUptimeRecords records = ReadUptimeRecords(registry, report);
    if (!records.Total || !records.Count || *records.Count < 1) {
        return lastUptimeSecs;
    }
    return *records.Total / *records.Count;
}

std::string LongestUptimeMessage(platform::TRegistry& registry, std::string_view uptimeFormat,
                                 std::int64_t lastUptimeSecs, const platform::TReportFunc& report)
{
    const std::int64_t seconds = LongestUptimeSecs(registry, lastUptimeSecs, report);
    return "Longest Uptime for this system is:\r\n" +
           TUTPFormat::UpTimeSubFormat(uptimeFormat, false, seconds);
}

std::string AverageUptimeMessage(platform::TRegistry& registry, std::string_view uptimeFormat,
                                 std::int64_t lastUptimeSecs, const platform::TReportFunc& report)
{
    const std::int64_t seconds = AverageUptimeSecs(registry, lastUptimeSecs, report);
    return "Average Uptime:\r\n" + TUTPFormat::UpTimeSubFormat(uptimeFormat, false, seconds);
}

} // namespace statlume
