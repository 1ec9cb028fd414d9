#include "platform/fake/fake_system_status.h"

namespace statlume::platform {

std::optional<TMemoryStatus> FakeSystemStatus::ReadMemory()
{
    ++MemoryCalls;
    return Memory;
}

std::string FakeSystemStatus::ComputerName()
{
    ++ComputerNameCalls;
    return Computer;
}

std::string FakeSystemStatus::UserName()
{
    ++UserNameCalls;
    return User;
}

std::vector<TIPv4Address> FakeSystemStatus::IPv4Addresses()
{
    ++AddressCalls;
    return Addresses;
}

TDiskSpace FakeSystemStatus::DiskSpace(const std::string& path)
{
    DiskCalls.push_back(path);
    const auto it = Disks.find(path);
    return it == Disks.end() ? TDiskSpace{} : it->second;
}

double FakeSystemStatus::LocalTime()
{
    return Clock;
}

} // namespace statlume::platform
