#pragma once

#include <string>

namespace statlume::platform {

/// Starts program with path as its one argument, found on PATH, without waiting for it;
/// false with a message in error when it cannot be started.
bool SpawnDetached(const std::string& program, const std::string& path, std::string& error);

/// Opens the file with the desktop's handler (xdg-open), without waiting.
bool ShellOpen(const std::string& path, std::string& error);

} // namespace statlume::platform
