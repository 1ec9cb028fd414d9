#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/system_roots.h"
#include "remote/socket_layer.h"

namespace statlume {

/// The default server port of the remote roles.
inline constexpr std::uint16_t DefaultServerPort = DefaultRemotePort;

/// What the program entry reads from the arguments (exact, case-sensitive whole arguments).
struct TEntrySwitches
{
    /// "-c" or "-C" came before any "-?": skip the single-instance test.
    bool SkipInstanceTest = false;
    /// "-?" was found: write and open the help page, then end.
    bool ShowHelp = false;
};

/// What the display window reads from the arguments (each lower-cased first).
struct TClientSwitches
{
    /// "-c" was given and the host is not empty.
    bool ClientMode = false;
    /// The rest of the last "-i" argument, lower-cased; empty when none.
    std::string Host;
    /// The last "-p" rest as a port 1..65535; 6130 when it is no such number or absent.
    std::uint16_t Port = DefaultServerPort;
    /// The rest of the last "-d" argument, lower-cased; nullopt when none was given.
    std::optional<std::string> Password;
    /// An argument starting with "-h" was given: do not add the tray icon at start.
    bool HideIcon = false;
    /// The folders of "--procfs DIR" and "--sysfs DIR" (or "=DIR"); the last of a kind wins.
    platform::TGivenRoots GivenRoots = {};
    /// The first of those options without a folder; empty when none.
    std::string Error = {};
};

/// The arguments after the program name.
std::vector<std::string> ArgumentsOf(int argc, const char* const* argv);

/// Walks the arguments in order: "-c"/"-C" skips the instance test; the first "-?" stops
/// the walk and asks for the help page.
TEntrySwitches ParseEntrySwitches(const std::vector<std::string>& args);

/// Reads "-c", "-i", "-p", "-d" and "-h" (prefixes except "-c"), "--procfs" and "--sysfs"
/// with their folders; the last of a kind wins; anything else is ignored.
TClientSwitches ParseClientSwitches(const std::vector<std::string>& args);

/// The text as a port number 1..65535 (optional sign, decimal digits only); else 6130.
std::uint16_t PortOrDefault(const std::string& text);

/// Copy of the text with ASCII letters A-Z lower-cased.
std::string AsciiLower(std::string text);

} // namespace statlume
