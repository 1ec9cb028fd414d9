#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace statlume::platform {

/// Memory figures in bytes.
struct TMemoryStatus
{
    std::uint64_t PhysTotal = 0;
    std::uint64_t PhysAvail = 0;
    std::uint64_t PageTotal = 0;
    std::uint64_t PageFree = 0;
};

/// Space of one file system in bytes; both 0 when it cannot be read.
struct TDiskSpace
{
    std::uint64_t FreeBytes = 0;
    std::uint64_t TotalBytes = 0;
};

/// An IPv4 address, most significant octet first.
using TIPv4Address = std::array<std::uint8_t, 4>;

/// The status calls of the collection: memory, names, addresses, disk space and clock.
class SystemStatus
{
public:
    virtual ~SystemStatus() = default;

    /// Physical memory and page file (swap); nothing when the status cannot be read.
    virtual std::optional<TMemoryStatus> ReadMemory() = 0;
    /// The machine's name; empty text on failure.
    virtual std::string ComputerName() = 0;
    /// The login name of the effective user; empty text on failure.
    virtual std::string UserName() = 0;
    /// Up to four IPv4 addresses of interfaces that are up, loopback last; empty when none.
    virtual std::vector<TIPv4Address> IPv4Addresses() = 0;
    /// Free-to-user and total bytes of the file system holding path; 0 and 0 on failure.
    virtual TDiskSpace DiskSpace(const std::string& path) = 0;
    /// The local date and time as days since 1899-12-30, the time of day as fraction, to
    /// the millisecond.
    virtual double LocalTime() = 0;
};

/// Days since 1899-12-30 of a local calendar date and time of day.
double ToDayCount(int year, int month, int day, int hour, int minute, int second, int millisecond);

} // namespace statlume::platform
