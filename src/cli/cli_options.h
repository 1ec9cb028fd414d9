#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "display/command_line.h"

namespace statlume {
/// The update interval of the console monitor when none is given, in milliseconds.
inline constexpr std::uint32_t DefaultIntervalMs = 1000;

/// What the console program's command line asks for.
struct TCliOptions
{
    bool Print = false;
    bool Once = false;
    bool Help = false;
    bool Version = false;
    /// Update interval for this run in milliseconds; none = the stored or default one.
    std::optional<std::uint32_t> IntervalMs;
    /// Template text given on the command line.
    std::optional<std::string> TemplateText;
    /// File to read the template from.
    std::optional<std::string> TemplateFile;
    /// Record file to render instead of collecting.
    std::optional<std::string> RecordFile;
    /// File that receives the record after each collection.
    std::optional<std::string> DumpRecordFile;
    /// Headless server requested.
    bool Serve = false;
    /// Port given with --serve=PORT; none = the stored or default one.
    std::optional<std::uint16_t> ServePort;
    /// "-c" seen; a client only when ServerHost is not empty too.
    bool ClientMode = false;
    /// From "-i", lower-cased.
    std::string ServerHost;
    /// From "-p"; a rest that is no port number gives the default port.
    std::uint16_t ServerPort = DefaultServerPort;
    /// From "-d", lower-cased; none when not given.
    std::optional<std::string> Password;
    /// One message per option that was recognised but given a value it cannot use.
    std::vector<std::string> Errors;

    /// The command line asks for the console client (both "-c" and a host).
    bool IsClient() const { return ClientMode && !ServerHost.empty(); }
    /// The short switches as the settings store and the client role take them.
    TClientSwitches ClientSwitches() const
    {
        return {IsClient(), ServerHost, ServerPort, Password, false};
    }
};

/// Reads the arguments (without the program name). Long options take their value as the next
/// argument or after "="; the short switches match lower-cased by prefix; anything else is
/// ignored; when an option is given twice the last one wins.
TCliOptions ParseCliOptions(std::span<const std::string> args);

/// The text of --help, ending in a line break.
std::string CliHelpText();

} // namespace statlume
