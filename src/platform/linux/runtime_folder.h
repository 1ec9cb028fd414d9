#pragma once

#include <string>

namespace statlume::platform {

/// A folder for run-time files, or why there is none.
struct TFolderChoice
{
    /// The folder; empty when none is usable.
    std::string Folder;
    /// Why there is no folder; empty when there is one.
    std::string Error;
};

/// The user's cache folder for this program: $XDG_CACHE_HOME/statlume, else
/// $HOME/.cache/statlume; empty when neither variable holds an absolute path.
std::string CacheFolder();

/// A private folder made with mkdtemp under tempRoot and remembered in the file
/// "runtime-folder" of recordFolder, so that every program of this user finds the same one
/// until it goes (a reboot clears /tmp). The remembered folder is checked on each call (a
/// folder of tempRoot named statlume-*, ours, mode 0700, not a link); one that fails is
/// replaced by a new one, never taken over. Never a predictable name another user could take
/// first.
TFolderChoice RememberedTempFolder(const std::string& recordFolder, const std::string& tempRoot);

/// The run-time folder when XDG_RUNTIME_DIR gives none: RememberedTempFolder under /tmp,
/// remembered in CacheFolder().
TFolderChoice FallbackRuntimeFolder();

} // namespace statlume::platform
