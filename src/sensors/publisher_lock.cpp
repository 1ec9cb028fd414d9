#include "sensors/publisher_lock.h"

#include <cerrno>
#include <cstdlib>
#include <string>
#include <system_error>
#include <utility>

#include "platform/linux/runtime_folder.h"
#include "platform/sensor_block.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace statlume {

namespace {

// Owned by this user, a real folder and not a link, closed to group and others.
bool IsPrivateFolder(const std::filesystem::path& folder)
{
    struct stat info
    {
    };
    return ::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::geteuid() && (info.st_mode & 077) == 0;
}

} // namespace

std::optional<std::filesystem::path> RuntimeFolder()
{
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR")) {
        const std::filesystem::path folder(runtime);
        if (folder.is_absolute() && IsPrivateFolder(folder))
            return folder;
    }
    // Never a predictable name in /tmp, which another user could make first.
    platform::TFolderChoice fallback = platform::FallbackRuntimeFolder();
    if (fallback.Folder.empty())
        return std::nullopt;
    return std::filesystem::path(std::move(fallback.Folder));
}

std::filesystem::path PublisherLockPath(const std::filesystem::path& folder,
                                        std::string_view blockName)
{
    if (blockName == platform::SensorBlockName)
        return folder / "statlume-sensord.pid";
    std::string name = "statlume-sensord-";
    for (const char c : blockName.substr(blockName.starts_with('/') ? 1 : 0)) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
        name += plain ? c : '_';
    }
    return folder / (name + ".pid");
}

bool IsPublisherRunning(const std::filesystem::path& path)
{
    const platform::TUniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd)
        return false;
    return ::flock(fd.Get(), LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
}

std::optional<TPublisherLock> TPublisherLock::TryAcquire(const std::filesystem::path& path)
{
    platform::TUniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd)
        throw std::system_error(errno, std::generic_category(), "cannot open " + path.string());
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK)
            return std::nullopt;
        throw std::system_error(errno, std::generic_category(), "cannot lock " + path.string());
    }
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd.Get(), 0) != 0 ||
        ::pwrite(fd.Get(), pid.data(), pid.size(), 0) != static_cast<ssize_t>(pid.size()))
        throw std::system_error(errno, std::generic_category(), "cannot write " + path.string());
    return TPublisherLock(path, std::move(fd));
}

TPublisherLock::TPublisherLock(std::filesystem::path path, platform::TUniqueFd fd)
    : Path(std::move(path))
    , Fd(std::move(fd))
{
}

bool TPublisherLock::StillHeld() const
{
    struct stat named
    {
    };
    struct stat held
    {
    };
    return ::lstat(Path.c_str(), &named) == 0 && ::fstat(Fd.Get(), &held) == 0 &&
           named.st_dev == held.st_dev && named.st_ino == held.st_ino;
}

} // namespace statlume
