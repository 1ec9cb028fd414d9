#include "cli/console_program.h"

#include <cstdlib>
#include <functional>
#include <iostream>
#include <optional>
#include <vector>

#include "base/printable_text.h"
#include "cli/cli_options.h"
#include "cli/console_app.h"
#include "cli/console_client.h"
#include "cli/console_monitor.h"
#include "cli/console_server.h"
#include "cli/machine_facts_reader.h"
#include "cli/record_file.h"
#include "cli/record_render.h"
#include "cli/run_settings.h"
#include "cli/settings_reload.h"
#include "cli/status_output.h"
#include "collect/drive_map.h"
#include "exporter/metrics_exporter.h"
#include "format/default_template.h"
#include "format/item_discovery.h"
#include "platform/linux/file_registry.h"
#include "platform/linux/locale_reader.h"
#include "platform/system_roots.h"
#include "settings/command_line.h"
#include "settings/settings_store.h"

#include <unistd.h>

namespace statlume {

namespace {

constexpr int BadInputStatus = 2;
constexpr int ListenFailedStatus = 1;
// A web configuration for --metrics that cannot be used: the run never starts.
constexpr int WebConfigFailedStatus = 2;

// The template given on the command line: --template, else --template-file. The outer
// nullopt means a template file that cannot be read (already reported).
std::optional<std::optional<std::string>> CommandLineTemplate(const TCliOptions& options,
                                                              std::ostream& err)
{
    if (options.TemplateText)
        return options.TemplateText;
    if (!options.TemplateFile)
        return std::optional<std::string>();
    std::string reason;
    auto text = ReadTextFile(*options.TemplateFile, reason);
    if (!text) {
        err << "statlume-cli: cannot read template file '" << *options.TemplateFile
            << "': " << reason << '\n'
            << std::flush;
        return std::nullopt;
    }
    return text;
}

// A password the user gave for this run: -d, else --password-file, else STATLUME_PASSWORD,
// each lower-cased as the window program reads -d.
struct TGivenPassword
{
    std::string Text;
    /// How it was given, for the message when a stored one differs.
    std::string Source;
};

// The outer nullopt means a password file that cannot be used (already reported).
std::optional<std::optional<TGivenPassword>>
GivenPassword(const TCliOptions& options, const std::optional<std::string>& environment,
              std::ostream& err)
{
    if (options.Password)
        return TGivenPassword{*options.Password, "-d"};
    if (options.PasswordFile) {
        std::string message;
        const auto text = ReadPasswordFile(*options.PasswordFile, message);
        if (!text) {
            err << "statlume-cli: " << message << '\n' << std::flush;
            return std::nullopt;
        }
        return TGivenPassword{AsciiLower(*text), "--password-file"};
    }
    // Only the roles use a password; a variable exported for them leaves the monitor alone.
    if (environment && (options.IsClient() || options.Serve))
        return TGivenPassword{AsciiLower(*environment), "STATLUME_PASSWORD"};
    return std::optional<TGivenPassword>();
}

// On the console the password typed now wins over the stored one; the user is told when the
// two differ, without either being shown.
std::function<std::optional<std::string>()>
StoredPasswordSource(TSettingsStore& store, const std::optional<TGivenPassword>& given,
                     std::ostream& err)
{
    if (!given)
        return [&store] { return store.ReadPassword(); };
    const auto stored = store.ReadPassword();
    if (stored && *stored != given->Text)
        err << "statlume-cli: using the password given with " << given->Source
            << ", not the stored \"Password\"\n"
            << std::flush;
    return [] { return std::optional<std::string>(); };
}

// The key this run's settings live in: the server's own for a client; none for a host that
// cannot name a key.
std::optional<std::string> SettingsKeyOf(const TClientSwitches& switches)
{
    if (switches.ClientMode)
        return PerServerKeyPath(switches.Host, switches.Port);
    return std::string(MainSettingsKey);
}

// A stored text value, looked up without the version step or any write.
std::optional<std::string> StoredTextOf(const TClientSwitches& switches, const std::string& name,
                                        const platform::TReportFunc& report)
{
    const auto key = SettingsKeyOf(switches);
    if (!key)
        return std::nullopt;
    platform::TFileRegistry registry = platform::TFileRegistry::OpenUserSettingsReadOnly(report);
    return StoredTextReadOnly(registry, *key, name, report);
}

std::optional<std::string> StoredTemplateOf(const TClientSwitches& switches,
                                            const platform::TReportFunc& report)
{
    return StoredTextOf(switches, "FormatString", report);
}

// What a local run would show the template on; nothing is known of a server's machine.
TMachineFacts DiscoveryFacts(const TCliOptions& options, const platform::TReportFunc& report)
{
    if (options.IsClient())
        return {};
    const std::string driveMap = StoredTextOf(options.ClientSwitches(), "DriveMap", report)
                                     .value_or(std::string(DefaultDriveMapText));
    return ReadMachineFacts(platform::RootsOf(options.GivenRoots),
                            LettersOf(ParseDriveMap(driveMap)));
}

// --record only reads: the stored template is looked up without the version step, so that
// rendering a file never changes the settings.
int RunRecord(const TCliOptions& options, const std::optional<std::string>& given,
              const TClientSwitches& switches, const LocaleInfo& locale,
              const platform::TReportFunc& report, std::ostream& out, std::ostream& err)
{
    std::optional<std::string> templateText = given ? given : StoredTemplateOf(switches, report);
    if (!templateText) {
        TRawDataShell shell;
        templateText = ComposeDefaultTemplate(CreateFormatters(shell, locale));
    }
    return RenderRecordFile(*options.RecordFile, *templateText, locale, out, err);
}

int Usage(const std::string& error, std::ostream& err)
{
    err << "statlume-cli: " << error << '\n' << "Try 'statlume-cli --help'.\n" << std::flush;
    return BadInputStatus;
}

// The template a discovery run looks at: the one given, else the stored one (read only),
// else the default.
std::string DiscoveryTemplate(const std::optional<std::string>& given,
                              const TClientSwitches& switches, const TFormatterList& formatters,
                              const platform::TReportFunc& report)
{
    if (given)
        return *given;
    if (auto stored = StoredTemplateOf(switches, report))
        return *stored;
    return ComposeDefaultTemplate(formatters);
}

// --list-items, --describe and --check-template; nothing when none was asked for.
std::optional<int> RunDiscovery(const TCliOptions& options, const std::optional<std::string>& given,
                                const LocaleInfo& locale, const platform::TReportFunc& report,
                                std::ostream& out, std::ostream& err)
{
    if (!options.ListItems && !options.Describe && !options.CheckTemplate)
        return std::nullopt;
    if (options.ListItems) {
        out << ItemListText() << std::flush;
        return 0;
    }
    TRawDataShell shell;
    const TFormatterList formatters = CreateFormatters(shell, locale);
    if (options.Describe) {
        if (const auto text = DescribeItem(formatters, *options.Describe)) {
            out << *text << std::flush;
            return 0;
        }
        const std::string nearest = NearestTagName(*options.Describe);
        err << "statlume-cli: no item is called '" << PrintableText(*options.Describe) << "'"
            << (nearest.empty() ? "" : "; did you mean " + nearest + "?") << '\n'
            << "Try 'statlume-cli --list-items'.\n"
            << std::flush;
        return BadInputStatus;
    }
    const std::string templateText =
        DiscoveryTemplate(given, options.ClientSwitches(), formatters, report);
    const auto problems = CheckTemplateTags(templateText, DiscoveryFacts(options, report));
    for (const TTagProblem& problem : problems)
        out << TagProblemText(problem) << '\n';
    out << std::flush;
    return problems.empty() ? 0 : 1;
}

// A client never collects, and a run that ends at once never starts the sensor publisher.
TSourceFactory SourcesOf(const TCliOptions& options)
{
    const bool clientMode = options.IsClient() || options.Once;
    return [clientMode, roots = platform::RootsOf(options.GivenRoots)](asio::io_context& loop) {
        return LinuxSources(loop, clientMode, roots);
    };
}

} // namespace

int RunConsoleProgram(std::span<char* const> argv,
                      const std::optional<std::string>& environmentPassword,
                      std::string_view version, std::ostream& out, std::ostream& err)
{
    const std::vector<std::string> args(argv.begin(), argv.end());
    const TCliOptions options = ParseCliOptions(args);
    // Other local users can read the command line while the process runs.
    ScrubSecrets(argv, options.Secrets);
    if (!options.Error.empty())
        return Usage(options.Error, err);
    if (options.Help) {
        out << CliHelpText() << std::flush;
        return 0;
    }
    if (options.Version) {
        out << "statlume-cli " << version << '\n' << std::flush;
        return 0;
    }
    if (const std::string problem = platform::GivenRootsProblem(options.GivenRoots);
        !problem.empty())
        return Usage(problem, err);

    const auto given = CommandLineTemplate(options, err);
    if (!given)
        return BadInputStatus;
    const auto password = GivenPassword(options, environmentPassword, err);
    if (!password)
        return BadInputStatus;

    const platform::TReportFunc report = [&err](const std::string& message) {
        err << "statlume-cli: " << message << '\n' << std::flush;
    };
    const LocaleInfo locale = platform::ReadProcessLocale();
    if (const auto status = RunDiscovery(options, *given, locale, report, out, err))
        return *status;
    // From the parse above, so a long option's value is never read as a switch.
    const TClientSwitches switches = options.ClientSwitches();
    if (options.RecordFile)
        return RunRecord(options, *given, switches, locale, report, out, err);

    // --once reads the settings and never writes them: the version step, a new per-server key
    // and the uptime record stay in memory.
    platform::TFileRegistry registry =
        options.Once ? platform::TFileRegistry::OpenUserSettingsReadOnly(report)
                     : platform::TFileRegistry::OpenUserSettings(report);
    TSettingsStore store(registry, switches, report);
    const TStoredSettings settings = store.ReadStartup();

    std::optional<std::uint16_t> servePort;
    if (options.Serve) {
        std::string message;
        servePort = ServePortOf(options, settings, message);
        if (!servePort)
            return Usage(message, err);
    }

    const bool client = switches.ClientMode;
    TConsoleApp app(out, err, locale, SourcesOf(options));
    const std::string templateText =
        given->has_value() ? **given : TemplateTextOf(settings, app.FormatterList());
    const std::uint32_t intervalMs = RunIntervalMs(options, settings, report);
    app.Collector().SetExcludeText(settings.ExcludeText);
    app.Collector().SetDriveMap(ParseDriveMap(settings.DriveMap));

    // The Exit command of a long-running mode keeps the uptime records; the console has no
    // window to save.
    bool saveOnExit = !options.Once;
    app.OnExitCommand = [&] {
        if (saveOnExit)
            store.SaveOnExit({false, std::nullopt, app.Collector().LastUptimeSecs()});
    };

    // One password and one cipher for both roles of a copy that is client and server.
    TRemoteSecret secret;
    if (*password)
        secret.Password = (*password)->Text;
    std::optional<TConsoleServer> server;
    const auto startServer = [&] {
        if (server->Start(*servePort, StoredPasswordSource(store, *password, err)))
            return true;
        // A headless server that cannot listen has nothing to do; the run did not happen.
        saveOnExit = false;
        return false;
    };
    if (options.Serve)
        server.emplace(app.Io(), app.Shell(), secret, err, options.Limits);

    std::optional<TMetricsExporter> exporter;
    TDriveMap mounts = ParseDriveMap(settings.DriveMap);
    if (options.Metrics) {
        exporter.emplace(app.Io(), std::string(version));
        std::string reason;
        if (options.MetricsWebConfig) {
            auto web = TWebSetupSource::Load(*options.MetricsWebConfig, reason);
            if (!web) {
                err << "statlume-cli: " << reason << '\n' << std::flush;
                return WebConfigFailedStatus;
            }
            exporter->UseWebConfig(std::move(*web), err);
        }
        if (!exporter->Start(*options.Metrics, reason)) {
            err << "statlume-cli: cannot serve metrics on "
                << (options.Metrics->Address.empty() ? "port " : options.Metrics->Address + ":")
                << options.Metrics->Port << ": " << reason << '\n'
                << std::flush;
            return ListenFailedStatus;
        }
    }
    // Colour codes only for a person at a terminal, never into a pipe or a file.
    const bool terminal = &out == &std::cout && ::isatty(STDOUT_FILENO) == 1;
    const TColourDepth colours = TerminalColours(terminal, std::getenv("NO_COLOR"),
                                                 std::getenv("TERM"), std::getenv("COLORTERM"));
    const TOutputFormat output{options.Style, options.Separator, colours != TColourDepth::None,
                               colours};

    // SIGHUP: the stored settings again, read without writing; the command line still wins.
    const auto reloadSettings = [&]() -> std::optional<std::pair<std::string, std::uint32_t>> {
        const auto key = SettingsKeyOf(switches);
        if (!key)
            return std::nullopt;
        const auto stored = ReadReloadSettingsFile(
            platform::DefaultSettingsFolder() + "/settings.reg", *key, client, report);
        if (!stored)
            return std::nullopt;
        app.Collector().SetExcludeText(stored->ExcludeText);
        mounts = ParseDriveMap(stored->DriveMap);
        app.Collector().SetDriveMap(mounts);
        err << "statlume-cli: settings read again\n" << std::flush;
        return std::pair{given->has_value() ? **given
                                            : TemplateTextOf(*stored, app.FormatterList()),
                         RunIntervalMs(options, *stored, report)};
    };

    if (client) {
        if (server && !startServer())
            return ListenFailedStatus;
        TClientOptions clientOptions;
        clientOptions.Host = switches.Host;
        clientOptions.Port = switches.Port;
        clientOptions.TemplateText = templateText;
        clientOptions.IntervalMs = intervalMs;
        clientOptions.Once = options.Once;
        clientOptions.DumpRecordFile = options.DumpRecordFile;
        clientOptions.Print = options.Prints();
        clientOptions.Output = output;
        if (exporter) {
            // The shell's record counts once a valid one has arrived, not on connecting.
            clientOptions.OnUpdate = [&](bool up) {
                exporter->Publish({app.Shell().Data, app.Shell().Data.Marker == 'T', up, {}, {}});
            };
        }
        TConsoleClient consoleClient(app, secret, std::move(clientOptions), out, err);
        if (!options.Once) {
            app.OnReload = [&] {
                if (const auto reloaded = reloadSettings())
                    consoleClient.Reload(reloaded->first, reloaded->second);
            };
        }
        return consoleClient.Run();
    }

    TMonitorOptions monitorOptions;
    monitorOptions.TemplateText = templateText;
    monitorOptions.IntervalMs = intervalMs;
    monitorOptions.Once = options.Once;
    monitorOptions.DumpRecordFile = options.DumpRecordFile;
    monitorOptions.Print = options.Prints();
    monitorOptions.Output = output;
    if (server) {
        // Clients may show any item of the record, so its families are fresh on every tick;
        // the figures beyond it never travel, so they are read only for the template.
        app.Collector().SetCollectAlways(TFamilySet::RecordFamilies());
        monitorOptions.OnFirstRecord = startServer;
    }
    if (exporter) {
        // Every series is exported, whatever the template shows.
        app.Collector().SetCollectAlways(TFamilySet::All());
        // A copy of the tick's snapshot; a scrape renders from it, never from the shell.
        monitorOptions.OnCollected = [&] {
            exporter->Publish({app.Shell().Data, true, true, mounts, app.Shell().Beyond});
        };
    }
    TConsoleMonitor monitor(app, std::move(monitorOptions), out, err);
    if (!options.Once) {
        app.OnReload = [&] {
            if (const auto reloaded = reloadSettings())
                monitor.Reload(reloaded->first, reloaded->second);
        };
    }
    return monitor.Run();
}

} // namespace statlume
