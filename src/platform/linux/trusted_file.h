#pragma once

#include <optional>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

namespace statlume::platform {

/// Why the file or folder that info describes cannot be trusted to hold code the program runs:
/// it is owned by another user than root or the effective one, or group or others may write
/// it; nullopt when it can be trusted.
inline std::optional<std::string> Distrust(const struct stat& info)
{
    if (info.st_uid != 0 && info.st_uid != ::geteuid())
        return "is owned by user " + std::to_string(info.st_uid);
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return "is writable by group or others";
    return std::nullopt;
}

} // namespace statlume::platform
