// Disk transfer counters of /proc/diskstats and their rates per device.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/counter_rate.h"
#include "platform/figure_source.h"

namespace statlume::platform {

/// Bytes per second one device read and wrote over the last interval.
struct TDiskRate
{
    std::string Name;
    double ReadBytesPerSecond = 0;
    double WrittenBytesPerSecond = 0;
};

/// Most devices a diskstats text may list; lines beyond are ignored.
inline constexpr std::size_t DiskStatsDeviceLimit = 4096;

/// The counters of every well-formed line of a diskstats text, in its order; sectors there
/// are 512 bytes whatever the device's own block size. Malformed lines are skipped.
std::vector<TDiskCounters> ParseDiskStats(std::string_view text);

/// The counters from procfsRoot + "/diskstats"; empty when the file cannot be read.
std::optional<std::vector<TDiskCounters>> ReadDiskStats(const std::string& procfsRoot = "/proc");

/// Turns successive counter samples into rates per device, dropping devices that vanished.
class TDiskRates
{
public:
    /// The rates since the previous sample (nowNs: a monotonic time in ns), one per device
    /// seen both times; a counter that went backwards gives 0 for this interval.
    std::vector<TDiskRate> Update(const std::vector<TDiskCounters>& sample, std::int64_t nowNs);

private:
    struct TDevice
    {
        TCounterRate Read;
        TCounterRate Written;
    };
    std::map<std::string, TDevice, std::less<>> Devices;
};

/// The sum of the rates of the devices named in names (for example the whole disks).
TDiskRate SumDiskRates(const std::vector<TDiskRate>& rates, const std::vector<std::string>& names);

} // namespace statlume::platform
