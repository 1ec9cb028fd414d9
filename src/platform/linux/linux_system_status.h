#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/linux/proc_file.h"
#include "platform/system_roots.h"
#include "platform/system_status.h"

#include <net/if.h>
#include <netinet/in.h>

namespace statlume::platform {

/// Reads the meminfo text: MemTotal / MemAvailable (MemFree on kernels without it) and
/// SwapTotal / SwapFree, kB turned into bytes; nothing when MemTotal is missing.
std::optional<TMemoryStatus> ParseMemInfo(std::string_view text);

/// The status calls on Linux: /proc/meminfo, gethostname, getpwuid_r, getifaddrs, statvfs,
/// clock_gettime with localtime_r.
class TLinuxSystemStatus final : public SystemStatus
{
public:
    /// Reads memory from memInfoPath (a fixture in tests).
    explicit TLinuxSystemStatus(const std::string& memInfoPath = "/proc/meminfo");
    /// Reads memory from the meminfo file of roots' procfs.
    explicit TLinuxSystemStatus(const TSystemRoots& roots);

    std::optional<TMemoryStatus> ReadMemory() override;
    std::string ComputerName() override;
    std::string UserName() override;
    std::vector<TIPv4Address> IPv4Addresses() override;
    TDiskSpace DiskSpace(const std::string& path) override;
    double LocalTime() override;

    /// The addresses as getifaddrs reports them, filtered and ordered as IPv4Addresses does
    /// (the reference the cheaper listing is checked against).
    static std::vector<TIPv4Address> IPv4AddressesByGetIfAddrs();

private:
    /// IPv4 addresses of interfaces that are up, loopback ones apart.
    struct TAddressList
    {
        std::vector<TIPv4Address> Outer;
        std::vector<TIPv4Address> Loopback;
        void Add(const sockaddr_in& address, unsigned flags);
        /// Outer addresses first, then loopback ones; at most four.
        std::vector<TIPv4Address> Ordered() const;
    };

    bool ListByIoctl(TAddressList& list);
    static void ListByGetIfAddrs(TAddressList& list);

    TProcFile MemInfo;
    // Kept open for the address listing on the slow cycle.
    TUniqueFd AddressSocket;
    std::vector<ifreq> Requests;
};

} // namespace statlume::platform
