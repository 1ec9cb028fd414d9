#include "platform/linux/block_devices.h"

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "platform/linux/small_file.h"

namespace statlume::platform {

namespace {

// The names the kernel gives its memory-backed devices; they stay out of the sum even when a
// container's tree links them elsewhere.
bool IsMemoryDevice(std::string_view name)
{
    return name.starts_with("loop") || name.starts_with("ram") || name.starts_with("zram");
}

// A name of the plain form the kernel writes, without "", "." or ".." components.
bool IsPlainRelative(std::string_view path)
{
    while (true) {
        const std::size_t slash = path.find('/');
        const std::string_view part = path.substr(0, slash);
        if (part.empty() || part == "." || part == "..")
            return false;
        if (slash == std::string_view::npos)
            return true;
        path.remove_prefix(slash + 1);
    }
}

bool LeadsToVirtual(const std::filesystem::path& sysfsRoot, const std::string& target)
{
    // The kernel's own links ("../devices/virtual/block/dm-0") are told apart without building
    // paths, as the listing runs on every tick.
    constexpr std::string_view Devices = "../devices/";
    if (std::string_view(target).starts_with(Devices) &&
        IsPlainRelative(std::string_view(target).substr(Devices.size()))) {
        const std::string_view below = std::string_view(target).substr(Devices.size());
        return below == "virtual" || below.starts_with("virtual/");
    }
    const auto resolved = (sysfsRoot / "block" / target).lexically_normal();
    const auto relative = resolved.lexically_relative(sysfsRoot.lexically_normal());
    auto part = relative.begin();
    return part != relative.end() && *part == "devices" && ++part != relative.end() &&
           *part == "virtual";
}

} // namespace

std::vector<std::string> ListWholeDisks(const std::string& sysfsRoot)
{
    std::vector<std::string> disks;
    std::error_code error;
    const std::filesystem::path root(sysfsRoot);
    for (std::filesystem::directory_iterator entry(root / "block", error), end;
         !error && entry != end; entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        const auto target = ReadLinkTarget(entry->path().string());
        if (!target || IsMemoryDevice(name) || LeadsToVirtual(root, *target))
            continue;
        disks.push_back(name);
        if (disks.size() >= 4096)
            break;
    }
    std::sort(disks.begin(), disks.end());
    return disks;
}

} // namespace statlume::platform
