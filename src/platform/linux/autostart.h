#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace statlume::platform {

/// The entry's file name inside the desktop's autostart folder.
inline constexpr std::string_view AutostartFileName = "statlume.desktop";

/// Where the entry goes: $XDG_CONFIG_HOME/autostart/statlume.desktop when that variable is an
/// absolute path, else $HOME/.config/autostart/statlume.desktop; empty when neither is.
std::string AutostartPath(const std::optional<std::string>& configHome,
                          const std::optional<std::string>& home);

/// The desktop entry that starts executable at login; empty when executable is not an
/// absolute path or holds a control character.
std::string AutostartEntry(const std::string& executable);

/// True when a regular file (or a link to one) is at path: start at login is on.
bool IsAutostartOn(const std::string& path);

/// How writing or removing the entry went.
struct TAutostartResult
{
    /// A message naming the file and the system's reason; empty on success.
    std::string Error;
    /// The change was made.
    bool Ok() const { return Error.empty(); }
};

/// Writes the entry for executable at path, mode 0644, through a temporary file and a rename
/// (a link planted at path is replaced, never followed); missing folders are made 0700.
TAutostartResult EnableAutostart(const std::string& path, const std::string& executable);

/// Removes the entry at path; one that is already gone is no error.
TAutostartResult DisableAutostart(const std::string& path);

} // namespace statlume::platform
