#include "platform/linux/linux_system_status.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstring>
#include <ctime>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace statlume::platform {

namespace {

// Value in kB of the meminfo line "Key:   1234 kB"; nothing when the key is missing.
std::optional<std::uint64_t> MemInfoValue(std::string_view text, std::string_view key)
{
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = std::min(text.find('\n', pos), text.size());
        const std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (line.size() <= key.size() || line.substr(0, key.size()) != key ||
            line[key.size()] != ':')
            continue;
        std::size_t digits = key.size() + 1;
        while (digits < line.size() && line[digits] == ' ')
            ++digits;
        std::uint64_t kb = 0;
        const auto [ptr, ec] = std::from_chars(line.data() + digits, line.data() + line.size(), kb);
        if (ec != std::errc() || ptr == line.data() + digits)
            return std::nullopt;
        return kb;
    }
    return std::nullopt;
}

// Holds getifaddrs' list for the duration of one scan.
struct TIfAddrs
{
    ifaddrs* List = nullptr;
    TIfAddrs()
    {
        if (getifaddrs(&List) != 0)
            List = nullptr;
    }
    ~TIfAddrs()
    {
        if (List)
            freeifaddrs(List);
    }
    TIfAddrs(const TIfAddrs&) = delete;
    TIfAddrs& operator=(const TIfAddrs&) = delete;
};

constexpr std::size_t MaxAddresses = 4;
constexpr std::uint64_t BytesPerKB = 1024;

} // namespace

std::optional<TMemoryStatus> ParseMemInfo(std::string_view text)
{
    const auto total = MemInfoValue(text, "MemTotal");
    if (!total)
        return std::nullopt;
    auto avail = MemInfoValue(text, "MemAvailable");
    if (!avail)
        avail = MemInfoValue(text, "MemFree");
    TMemoryStatus status;
    status.PhysTotal = *total * BytesPerKB;
    status.PhysAvail = avail.value_or(0) * BytesPerKB;
    status.PageTotal = MemInfoValue(text, "SwapTotal").value_or(0) * BytesPerKB;
    status.PageFree = MemInfoValue(text, "SwapFree").value_or(0) * BytesPerKB;
    return status;
}

TLinuxSystemStatus::TLinuxSystemStatus(const std::string& memInfoPath)
    : MemInfo(memInfoPath)
{
}

TLinuxSystemStatus::TLinuxSystemStatus(const TSystemRoots& roots)
    : TLinuxSystemStatus(roots.Procfs + "/meminfo")
{
}

std::optional<TMemoryStatus> TLinuxSystemStatus::ReadMemory()
{
    const auto text = MemInfo.Read();
    if (!text)
        return std::nullopt;
    return ParseMemInfo(*text);
}

std::string TLinuxSystemStatus::ComputerName()
{
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return {};
    return name;
}

std::string TLinuxSystemStatus::UserName()
{
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::string scratch(size > 0 ? static_cast<std::size_t>(size) : 4096, '\0');
    passwd entry{};
    passwd* found = nullptr;
    for (;;) {
        const int error = ::getpwuid_r(::geteuid(), &entry, scratch.data(), scratch.size(), &found);
        if (error == ERANGE && scratch.size() < (1u << 20)) {
            scratch.resize(scratch.size() * 2);
            continue;
        }
        if (error != 0 || found == nullptr || found->pw_name == nullptr)
            return {};
        return found->pw_name;
    }
}

std::vector<TIPv4Address> TLinuxSystemStatus::IPv4Addresses()
{
    TAddressList list;
    if (!ListByIoctl(list)) {
        list = {};
        ListByGetIfAddrs(list);
    }
    return list.Ordered();
}

std::vector<TIPv4Address> TLinuxSystemStatus::IPv4AddressesByGetIfAddrs()
{
    TAddressList list;
    ListByGetIfAddrs(list);
    return list.Ordered();
}

bool TLinuxSystemStatus::ListByIoctl(TAddressList& list)
{
    // SIOCGIFCONF lists the IPv4 addresses alone; getifaddrs would also fetch every
    // interface's full link record, which costs the kernel several times more.
    if (!AddressSocket.Valid())
        AddressSocket.Reset(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!AddressSocket.Valid())
        return false;
    ifconf conf{};
    for (;;) {
        if (Requests.empty())
            Requests.resize(8);
        conf.ifc_len = static_cast<int>(Requests.size() * sizeof(ifreq));
        conf.ifc_req = Requests.data();
        if (::ioctl(AddressSocket.Get(), SIOCGIFCONF, &conf) != 0)
            return false;
        // A full buffer may have cut the list short.
        if (static_cast<std::size_t>(conf.ifc_len) < Requests.size() * sizeof(ifreq))
            break;
        Requests.resize(Requests.size() * 2);
    }
    const std::size_t count = static_cast<std::size_t>(conf.ifc_len) / sizeof(ifreq);
    for (std::size_t i = 0; i < count; ++i) {
        const ifreq& request = Requests[i];
        if (request.ifr_addr.sa_family != AF_INET)
            continue;
        ifreq flags{};
        std::memcpy(flags.ifr_name, request.ifr_name, sizeof flags.ifr_name);
        // An interface that went away since the listing is left out.
        if (::ioctl(AddressSocket.Get(), SIOCGIFFLAGS, &flags) != 0)
            continue;
        sockaddr_in in{};
        std::memcpy(&in, &request.ifr_addr, sizeof in);
        list.Add(in, static_cast<unsigned>(static_cast<unsigned short>(flags.ifr_flags)));
    }
    return true;
}

void TLinuxSystemStatus::ListByGetIfAddrs(TAddressList& list)
{
    const TIfAddrs addrs;
    for (const ifaddrs* it = addrs.List; it != nullptr; it = it->ifa_next) {
        if (it->ifa_addr == nullptr || it->ifa_addr->sa_family != AF_INET)
            continue;
        sockaddr_in in{};
        std::memcpy(&in, it->ifa_addr, sizeof in);
        list.Add(in, it->ifa_flags);
    }
}

void TLinuxSystemStatus::TAddressList::Add(const sockaddr_in& address, unsigned flags)
{
    if ((flags & IFF_UP) == 0)
        return;
    const std::uint32_t host = ntohl(address.sin_addr.s_addr);
    const TIPv4Address bytes{static_cast<std::uint8_t>(host >> 24),
                             static_cast<std::uint8_t>(host >> 16),
                             static_cast<std::uint8_t>(host >> 8), static_cast<std::uint8_t>(host)};
    ((flags & IFF_LOOPBACK) != 0 ? Loopback : Outer).push_back(bytes);
}

std::vector<TIPv4Address> TLinuxSystemStatus::TAddressList::Ordered() const
{
    std::vector<TIPv4Address> ordered = Outer;
    ordered.insert(ordered.end(), Loopback.begin(), Loopback.end());
    if (ordered.size() > MaxAddresses)
        ordered.resize(MaxAddresses);
    return ordered;
}

TDiskSpace TLinuxSystemStatus::DiskSpace(const std::string& path)
{
    struct statvfs fs
    {
    };
    if (path.empty() || ::statvfs(path.c_str(), &fs) != 0)
        return {};
    const std::uint64_t unit = fs.f_frsize != 0 ? fs.f_frsize : fs.f_bsize;
    return {static_cast<std::uint64_t>(fs.f_bavail) * unit,
            static_cast<std::uint64_t>(fs.f_blocks) * unit};
}

double TLinuxSystemStatus::LocalTime()
{
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    if (::localtime_r(&now.tv_sec, &local) == nullptr)
        return 0;
    return ToDayCount(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                      local.tm_min, std::min(local.tm_sec, 59),
                      static_cast<int>(now.tv_nsec / 1000000));
}

} // namespace statlume::platform
