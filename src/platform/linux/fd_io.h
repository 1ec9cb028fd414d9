#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>

#include <unistd.h>

namespace statlume::platform {

/// Writes all count bytes to fd, retrying interrupted and short writes; false on an error
/// (errno tells which) or when the descriptor takes nothing.
inline bool WriteAll(int fd, const void* data, std::size_t count)
{
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    while (count > 0) {
        const ssize_t written = ::write(fd, bytes, count);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes += written;
        count -= static_cast<std::size_t>(written);
    }
    return true;
}

} // namespace statlume::platform
