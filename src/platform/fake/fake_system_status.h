#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/system_status.h"

namespace statlume::platform {

/// Status calls with settable answers and a settable clock; counts the calls it answers.
class FakeSystemStatus final : public SystemStatus
{
public:
    std::optional<TMemoryStatus> ReadMemory() override;
    std::string ComputerName() override;
    std::string UserName() override;
    std::vector<TIPv4Address> IPv4Addresses() override;
    /// The entry of Disks for path; 0 and 0 for a path not listed.
    TDiskSpace DiskSpace(const std::string& path) override;
    double LocalTime() override;

    std::optional<TMemoryStatus> Memory = TMemoryStatus{};
    std::string Computer;
    std::string User;
    std::vector<TIPv4Address> Addresses;
    std::map<std::string, TDiskSpace> Disks;
    /// Days since 1899-12-30.
    double Clock = 0;

    int ComputerNameCalls = 0;
    int UserNameCalls = 0;
    int AddressCalls = 0;
    int MemoryCalls = 0;
    /// Paths asked for, in order.
    std::vector<std::string> DiskCalls;
};

} // namespace statlume::platform
