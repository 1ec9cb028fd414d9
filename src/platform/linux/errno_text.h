#pragma once

#include <cerrno>
#include <cstring>
#include <string>

namespace statlume::platform {

/// "what: " and the system's reason for the last failed call.
inline std::string ErrnoText(const std::string& what)
{
    return what + ": " + std::strerror(errno);
}

} // namespace statlume::platform
