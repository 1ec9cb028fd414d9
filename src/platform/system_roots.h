#pragma once

#include <optional>
#include <string>

namespace statlume::platform {

/// Where the monitored machine's procfs and sysfs are: its own, a host's that a container
/// mounts elsewhere, or a fixture tree. The program's own /proc/self is not read through it.
struct TSystemRoots
{
    std::string Procfs = "/proc";
    std::string Sysfs = "/sys";
};

/// The folders a command line gave with --procfs and --sysfs; none = the machine's own.
struct TGivenRoots
{
    std::optional<std::string> Procfs;
    std::optional<std::string> Sysfs;

    bool operator==(const TGivenRoots&) const = default;
};

/// The roots to read through: each given folder as an absolute path without a trailing
/// slash (so "/proc/" is still the machine's own), else /proc and /sys.
TSystemRoots RootsOf(const TGivenRoots& given);

/// Why a given folder cannot be a root, as one line naming the option, the folder (control
/// characters shown as "?") and the system's reason; empty when each given one is a folder.
std::string GivenRootsProblem(const TGivenRoots& given);

} // namespace statlume::platform
