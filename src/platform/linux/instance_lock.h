#pragma once

#include <string>

#include "platform/instance.h"
#include "platform/linux/private_folder.h"
#include "platform/linux/runtime_folder.h"

namespace statlume::platform {

/// The user's run-time folder: $XDG_RUNTIME_DIR/statlume, else FallbackRuntimeFolder().
TFolderChoice DefaultRuntimeFolder();

/// The single-instance rule on Linux: flock on "display.lock" and a local socket
/// "restore.sock" in the user's private run-time folder; a later start connects and sends
/// one byte.
class TInstanceLock : public TSingleInstance
{
public:
    /// Uses folder, or DefaultRuntimeFolder() when it is empty; when that has none, every
    /// call fails with its reason.
    explicit TInstanceLock(std::string folder = {});

    TAcquireResult TryAcquire() override;
    bool SignalRunning() override;
    std::string UserFolder() override;

private:
    std::string Folder;
    std::string FolderError;
};

} // namespace statlume::platform
