#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/linux/proc_file.h"
#include "platform/system_status.h"

namespace statlume::platform {

/// Reads the meminfo text: MemTotal / MemAvailable (MemFree on kernels without it) and
/// SwapTotal / SwapFree, kB turned into bytes; nothing when MemTotal is missing.
std::optional<TMemoryStatus> ParseMemInfo(std::string_view text);

/// The status calls on Linux: /proc/meminfo, gethostname, getpwuid_r, getifaddrs, statvfs,
/// clock_gettime with localtime_r.
class LinuxSystemStatus final : public SystemStatus
{
public:
    /// Reads memory from memInfoPath (a fixture in tests).
    explicit LinuxSystemStatus(const std::string& memInfoPath = "/proc/meminfo");

    std::optional<TMemoryStatus> ReadMemory() override;
    std::string ComputerName() override;
    std::string UserName() override;
    std::vector<TIPv4Address> IPv4Addresses() override;
    TDiskSpace DiskSpace(const std::string& path) override;
    double LocalTime() override;

private:
    ProcFile MemInfo;
};

} // namespace statlume::platform
