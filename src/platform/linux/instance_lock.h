#pragma once

#include <string>

#include "platform/instance.h"

namespace statlume::platform {

/// The user's run-time folder: $XDG_RUNTIME_DIR/statlume, else /tmp/statlume-<uid>.
std::string DefaultRuntimeFolder();

/// Creates folder (0700) when missing and checks that it is a real folder, not a link,
/// owned by this user and closed to others; returns an error message, empty when usable.
std::string EnsurePrivateFolder(const std::string& folder);

/// The single-instance rule on Linux: flock on "display.lock" and a local socket
/// "restore.sock" in the user's private run-time folder; a later start connects and sends
/// one byte.
class TInstanceLock : public TSingleInstance
{
public:
    /// Uses folder, or DefaultRuntimeFolder() when it is empty.
    explicit TInstanceLock(std::string folder = {});

    TAcquireResult TryAcquire() override;
    bool SignalRunning() override;
    std::string UserFolder() override;

private:
    std::string Folder;
};

} // namespace statlume::platform
