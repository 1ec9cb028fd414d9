#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

#include "platform/linux/unique_fd.h"

namespace statlume {

/// The user's private folder for runtime files: $XDG_RUNTIME_DIR when it is a folder of this
/// user's that no one else can enter, else the folder platform::FallbackRuntimeFolder()
/// made and remembers. Empty when neither is usable.
std::optional<std::filesystem::path> RuntimeFolder();

/// The lock file of the publisher of the block called blockName, inside folder: one name
/// per block, so a test's private block never collides with the real publisher.
std::filesystem::path PublisherLockPath(const std::filesystem::path& folder,
                                        std::string_view blockName);

/// True when a publisher holds the lock file at path.
bool IsPublisherRunning(const std::filesystem::path& path);

/// The running publisher's hold on its lock file, which records its process id; released
/// when destroyed. The file itself stays, as removing a lock file races with its next user.
class TPublisherLock
{
public:
    /// Takes the lock without waiting; empty when another publisher holds it. Throws
    /// std::system_error when the file cannot be opened (a link is refused).
    static std::optional<TPublisherLock> TryAcquire(const std::filesystem::path& path);

    /// True while the path still names the locked file; false once it was removed (its
    /// run-time folder went away) or replaced, when another publisher could start.
    bool StillHeld() const;

private:
    TPublisherLock(std::filesystem::path path, platform::TUniqueFd fd);

    std::filesystem::path Path;
    platform::TUniqueFd Fd;
};

} // namespace statlume
