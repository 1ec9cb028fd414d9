#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace statlume {

/// How statlume-sensord runs.
struct TSensordOptions
{
    /// Folder of the hardware monitoring devices.
    std::filesystem::path Root;
    /// Name of the shared memory object to publish.
    std::string Name;
    /// Time between two refreshes.
    std::chrono::milliseconds Interval{1000};
    /// Publish once, leave the block in place and exit.
    bool Once = false;
    /// Run in the background in a session of its own; the caller returns once the block is up.
    bool Detach = false;
    /// Print the usage and exit.
    bool Help = false;
};

/// The usage text, one option a line.
std::string SensordUsage();

/// True for a shared memory name: a slash, then 1 to 250 characters without a slash.
bool IsValidBlockName(std::string_view name);

/// Reads --root DIR, --name NAME, --interval MS (100 to 3600000), --once, --detach and
/// --help, each value also as --option=VALUE; empty with a message in error on anything
/// else.
std::optional<TSensordOptions> ParseSensordOptions(std::span<const std::string_view> args,
                                                   std::string& error);

} // namespace statlume
