#pragma once

// One line of the kernel's mountinfo table.
#include <optional>
#include <string_view>

namespace statlume::platform {

/// The fields of a mountinfo line we read: the mount point (with the kernel's octal escapes)
/// and, after the "-", the file system type, its source and its super block options.
struct TMountLine
{
    std::string_view Point;
    std::string_view Type;
    std::string_view Source;
    std::string_view SuperOptions;
};

/// Reads "id parent major:minor root mountpoint options [optional...] - type source
/// superopts"; nothing for a line without the "-" after the options.
std::optional<TMountLine> ReadMountLine(std::string_view line);

} // namespace statlume::platform
