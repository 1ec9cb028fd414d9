#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "exporter/metrics_endpoint.h"
#include "platform/system_roots.h"
#include "remote/serve_limits.h"
#include "settings/command_line.h"

namespace statlume {
/// The update interval of the console monitor when none is given, in milliseconds.
inline constexpr std::uint32_t DefaultIntervalMs = 1000;

/// How each update is written.
enum class TOutputStyle
{
    /// The rendered lines, then one empty line.
    Lines,
    /// One JSON object per line for status bars: text, tooltip, class.
    Json,
    /// Every line of a render joined into one.
    OneLine,
};

/// Where a secret sits among the arguments, so it can be overwritten after parsing.
struct TArgumentSecret
{
    /// Index of the argument (without the program name).
    std::size_t Argument = 0;
    /// First character of the secret within that argument.
    std::size_t Offset = 0;
};

/// What the console program's command line asks for.
struct TCliOptions
{
    bool Print = false;
    bool Once = false;
    bool Help = false;
    bool Version = false;
    /// Update interval for this run in milliseconds (1 or more); none = the stored or default.
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
    /// Port given with --serve; none = the stored or default one.
    std::optional<std::uint16_t> ServePort;
    /// Whom the server listens to and serves (--bind, --allow, --max-clients).
    TServeLimits Limits;
    /// "-c" seen; the parse requires a host with it.
    bool ClientMode = false;
    /// From "-i", lower-cased.
    std::string ServerHost;
    /// From "-p"; the default port when not given.
    std::uint16_t ServerPort = DefaultServerPort;
    /// From "-d", lower-cased; none when not given.
    std::optional<std::string> Password;
    /// From --password-file; read (and checked) by the program, not the parse.
    std::optional<std::string> PasswordFile;
    /// Where each "-d" password sits in the arguments.
    std::vector<TArgumentSecret> Secrets;
    /// --metrics: serve the Prometheus text exposition there.
    std::optional<TMetricsEndpoint> Metrics;
    /// --metrics-web-config: TLS, passwords and headers for --metrics from this file.
    std::optional<std::string> MetricsWebConfig;
    /// --json or --one-line; Lines otherwise.
    TOutputStyle Style = TOutputStyle::Lines;
    /// What joins the lines with --one-line.
    std::string Separator = " | ";
    /// --list-items: print the items and end.
    bool ListItems = false;
    /// --describe NAME: print one item's help text and end.
    std::optional<std::string> Describe;
    /// --check-template: report tags that name no item and end.
    bool CheckTemplate = false;
    /// --procfs and --sysfs: the folders to collect through; checked by the program.
    platform::TGivenRoots GivenRoots;
    /// The first usage error (unknown option, stray word, bad value, conflict); empty = none.
    std::string Error;

    /// The run writes its renders: when asked, else unless it is a server (a client that
    /// passes records on still prints) or --metrics is given.
    bool Prints() const
    {
        return Print || Style != TOutputStyle::Lines || (!Metrics && (!Serve || ClientMode));
    }
    /// The command line asks for the console client (both "-c" and a host).
    bool IsClient() const { return ClientMode && !ServerHost.empty(); }
    /// The short switches as the settings store and the client role take them.
    TClientSwitches ClientSwitches() const
    {
        return {IsClient(), ServerHost, ServerPort, Password, false};
    }
};

/// Reads the arguments (without the program name) strictly: long options take their value
/// as the next argument or after "="; "-i", "-p" and "-d" take it glued or as the next
/// argument; "-c", "-i", "-p", "-d" match in either case. An unknown option, a stray word, a
/// bad value or options that conflict set Error (the first one found). When an option is
/// given twice the last one wins.
TCliOptions ParseCliOptions(std::span<const std::string> args);

/// Reads "[ADDR:]PORT" ("9100", "127.0.0.1:9100", "[::1]:9100"); nothing when the port is
/// not 1..65535 or the address is no IPv4 or IPv6 address.
std::optional<TMetricsEndpoint> ParseMetricsEndpoint(std::string_view text);

/// Overwrites each secret's characters in the argument strings with 'x', so the process's
/// command line no longer shows them; arguments out of range are left alone.
void ScrubSecrets(std::span<char* const> args, std::span<const TArgumentSecret> secrets);

/// The text of --help, ending in a line break.
std::string CliHelpText();

} // namespace statlume
