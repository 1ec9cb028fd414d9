#include "platform/linux/mount_info.h"

#include <cstddef>

#include "platform/linux/line_scan.h"

namespace statlume::platform {

std::optional<TMountLine> ReadMountLine(std::string_view line)
{
    TMountLine mount;
    std::size_t field = 0;
    std::size_t dashAt = 0;
    ForEachField(line, [&](std::string_view value) {
        if (field == 4)
            mount.Point = value;
        else if (dashAt == 0 && field > 5 && value == "-")
            dashAt = field;
        else if (dashAt != 0 && field == dashAt + 1)
            mount.Type = value;
        else if (dashAt != 0 && field == dashAt + 2)
            mount.Source = value;
        else if (dashAt != 0 && field == dashAt + 3)
            mount.SuperOptions = value;
        ++field;
    });
    if (dashAt == 0)
        return std::nullopt;
    return mount;
}

} // namespace statlume::platform
