#include "platform/linux/regular_file.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace statlume::platform {

TUniqueFd OpenRegularFile(const std::string& path, struct stat& info, std::string& reason)
{
    TUniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd || ::fstat(fd.Get(), &info) != 0) {
        reason = std::strerror(errno);
        return {};
    }
    if (S_ISDIR(info.st_mode)) {
        reason = std::strerror(EISDIR);
        return {};
    }
    if (!S_ISREG(info.st_mode)) {
        reason = "not a regular file";
        return {};
    }
    return fd;
}

std::optional<std::string> ReadAll(int fd, std::size_t limit, std::string& reason, bool* tooLarge)
{
    std::string text;
    char chunk[4096];
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            reason = std::strerror(errno);
            return std::nullopt;
        }
        if (got == 0)
            return text;
        if (text.size() + static_cast<std::size_t>(got) > limit) {
            reason = "larger than " + std::to_string(limit) + " bytes";
            if (tooLarge != nullptr)
                *tooLarge = true;
            return std::nullopt;
        }
        text.append(chunk, static_cast<std::size_t>(got));
    }
}

std::optional<std::string> ReadRegularFile(const std::string& path, std::size_t limit,
                                           std::string& reason, bool* tooLarge)
{
    struct stat info
    {
    };
    const TUniqueFd fd = OpenRegularFile(path, info, reason);
    if (!fd)
        return std::nullopt;
    return ReadAll(fd.Get(), limit, reason, tooLarge);
}

} // namespace statlume::platform
