#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "platform/linux/unique_fd.h"

#include <sys/stat.h>

namespace statlume::platform {

/// Opens a file to read without blocking, so a FIFO or a device never holds the program up,
/// and accepts only a regular file (info describes it); on failure an empty descriptor and
/// the reason, the system's text where it has one.
TUniqueFd OpenRegularFile(const std::string& path, struct stat& info, std::string& reason);

/// Reads fd to its end, refusing more than limit bytes, since the file may grow while it is
/// read; nothing, with the reason, on an error or past the limit (then tooLarge is set).
std::optional<std::string> ReadAll(int fd, std::size_t limit, std::string& reason,
                                   bool* tooLarge = nullptr);

/// The whole text of the regular file at path, at most limit bytes; nothing, with the reason,
/// otherwise (tooLarge is set when only the limit stood in the way).
std::optional<std::string> ReadRegularFile(const std::string& path, std::size_t limit,
                                           std::string& reason, bool* tooLarge = nullptr);

} // namespace statlume::platform
