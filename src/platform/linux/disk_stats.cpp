#include "platform/linux/disk_stats.h"

#include <algorithm>

#include "platform/linux/line_scan.h"
#include "platform/linux/regular_file.h"
#include "platform/linux/small_file.h"

namespace statlume::platform {

namespace {

constexpr std::uint64_t SectorBytes = 512;
constexpr std::size_t DiskStatsByteLimit = 4u << 20;

std::string_view NextField(std::string_view& line)
{
    while (!line.empty() && IsBlank(line.front()))
        line.remove_prefix(1);
    std::size_t end = 0;
    while (end < line.size() && !IsBlank(line[end]))
        ++end;
    const std::string_view field = line.substr(0, end);
    line.remove_prefix(end);
    return field;
}

std::optional<TDiskCounters> ParseLine(std::string_view line)
{
    // major minor name reads merged sectors-read ms writes merged sectors-written ...
    std::string_view fields[10];
    for (auto& field : fields)
        field = NextField(line);
    const auto sectorsRead = ParseUnsigned(fields[5]);
    const auto sectorsWritten = ParseUnsigned(fields[9]);
    if (fields[2].empty() || !ParseUnsigned(fields[0]) || !sectorsRead || !sectorsWritten)
        return std::nullopt;
    // The kernel's counters are unsigned long; the product wraps as a 64-bit counter would.
    return TDiskCounters{std::string(fields[2]), *sectorsRead * SectorBytes,
                         *sectorsWritten * SectorBytes};
}

} // namespace

std::vector<TDiskCounters> ParseDiskStats(std::string_view text)
{
    std::vector<TDiskCounters> disks;
    ForEachLine(text, [&disks](std::string_view line) {
        if (disks.size() >= DiskStatsDeviceLimit)
            return;
        if (auto counters = ParseLine(line))
            disks.push_back(std::move(*counters));
    });
    return disks;
}

std::optional<std::vector<TDiskCounters>> ReadDiskStats(const std::string& procfsRoot)
{
    std::string reason;
    const auto text = ReadRegularFile(procfsRoot + "/diskstats", DiskStatsByteLimit, reason);
    if (!text)
        return std::nullopt;
    return ParseDiskStats(*text);
}

std::vector<TDiskRate> TDiskRates::Update(const std::vector<TDiskCounters>& sample,
                                          std::int64_t nowNs)
{
    std::map<std::string, TDevice, std::less<>> next;
    std::vector<TDiskRate> rates;
    for (const TDiskCounters& disk : sample) {
        if (next.size() >= DiskStatsDeviceLimit || next.count(disk.Name) != 0)
            continue;
        const auto old = Devices.find(disk.Name);
        TDevice device = old != Devices.end() ? old->second : TDevice{};
        const auto read = device.Read.Update(disk.ReadBytes, nowNs);
        const auto written = device.Written.Update(disk.WrittenBytes, nowNs);
        if (read && written)
            rates.push_back(TDiskRate{disk.Name, *read, *written});
        next.emplace(disk.Name, device);
    }
    Devices = std::move(next);
    return rates;
}

TDiskRate SumDiskRates(const std::vector<TDiskRate>& rates, const std::vector<std::string>& names)
{
    TDiskRate sum;
    for (const TDiskRate& rate : rates) {
        if (std::find(names.begin(), names.end(), rate.Name) == names.end())
            continue;
        sum.ReadBytesPerSecond += rate.ReadBytesPerSecond;
        sum.WrittenBytesPerSecond += rate.WrittenBytesPerSecond;
    }
    return sum;
}

} // namespace statlume::platform
