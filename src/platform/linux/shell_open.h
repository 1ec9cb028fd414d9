#pragma once

#include <chrono>
#include <string>

namespace statlume::platform {

/// Starts program with path as its one argument, found on PATH, without waiting for it;
/// false with a message in error when it cannot be started.
bool SpawnDetached(const std::string& program, const std::string& path, std::string& error);

/// Starts program like SpawnDetached and waits up to patience for it to end: false with a
/// message in error when it cannot be started or ends with a failure status in that time;
/// true when it succeeds or is still running (a handler that stays with its viewer).
bool SpawnAndWatch(const std::string& program, const std::string& path,
                   std::chrono::milliseconds patience, std::string& error);

/// Opens the file with the desktop's handler (xdg-open), without waiting.
bool ShellOpen(const std::string& path, std::string& error);

/// Opens the file with xdg-open and waits up to two seconds for it to report a failure, for a
/// caller that must tell the user where the file is when no viewer could be started.
bool ShellOpenWatched(const std::string& path, std::string& error);

} // namespace statlume::platform
