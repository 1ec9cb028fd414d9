#pragma once

// The mounted file systems a drive letter can stand for, from the kernel's mount table.
#include <string>
#include <string_view>
#include <vector>

namespace statlume::platform {

/// At most this many mount points are listed.
inline constexpr std::size_t MountPointLimit = 256;

/// The mount points of the file systems in a mountinfo text that hold files a user keeps:
/// those on a block device (not a squashfs image), network and ZFS file systems, and "/"
/// always first. Each is listed once with the kernel's octal escapes decoded; one with a
/// control character is left out.
std::vector<std::string> MountPointsOf(std::string_view mountInfoText);

/// The same from procfsRoot's self/mountinfo; only "/" when it cannot be read.
std::vector<std::string> ListMountPoints(const std::string& procfsRoot = "/proc");

} // namespace statlume::platform
