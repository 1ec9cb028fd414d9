#include "cli/console_program.h"

#include <optional>
#include <vector>

#include "cli/cli_options.h"
#include "cli/console_app.h"
#include "cli/console_client.h"
#include "cli/console_monitor.h"
#include "cli/console_server.h"
#include "cli/record_file.h"
#include "cli/record_render.h"
#include "cli/run_settings.h"
#include "collect/drive_map.h"
#include "display/command_line.h"
#include "display/settings_store.h"
#include "format/default_template.h"
#include "platform/linux/file_registry.h"
#include "platform/linux/locale_reader.h"

namespace statlume {

namespace {

constexpr int BadInputStatus = 2;
constexpr int ListenFailedStatus = 1;

// The template given on the command line: --template, else --template-file. The outer
// nullopt means a template file that cannot be read (already reported).
std::optional<std::optional<std::string>> CommandLineTemplate(const TCliOptions& options,
                                                              std::ostream& err)
{
    if (options.TemplateText)
        return options.TemplateText;
    if (!options.TemplateFile)
        return std::optional<std::string>();
    auto text = ReadTextFile(*options.TemplateFile);
    if (!text) {
        err << "statlume-cli: cannot read template file '" << *options.TemplateFile << "'\n"
            << std::flush;
        return std::nullopt;
    }
    return text;
}

// --record only reads: the stored template is looked up without the version step, so that
// rendering a file never changes the settings.
int RunRecord(const TCliOptions& options, const std::optional<std::string>& given,
              const TClientSwitches& switches, const LocaleInfo& locale,
              const platform::TReportFunc& report, std::ostream& out, std::ostream& err)
{
    std::optional<std::string> templateText = given;
    if (!templateText) {
        platform::TFileRegistry registry =
            platform::TFileRegistry::OpenUserSettingsReadOnly(report);
        const auto key = switches.ClientMode ? PerServerKeyPath(switches.Host, switches.Port)
                                             : std::string(MainSettingsKey);
        if (key)
            templateText = StoredTemplateReadOnly(registry, *key, report);
    }
    if (!templateText) {
        TRawDataShell shell;
        templateText = ComposeDefaultTemplate(CreateFormatters(shell, locale));
    }
    return RenderRecordFile(*options.RecordFile, *templateText, locale, out, err);
}

int Usage(const std::vector<std::string>& errors, std::ostream& err)
{
    for (const std::string& error : errors)
        err << "statlume-cli: " << error << '\n';
    err << "Try 'statlume-cli --help'.\n" << std::flush;
    return BadInputStatus;
}

} // namespace

int RunConsoleProgram(std::span<const std::string> args, std::string_view version,
                      std::ostream& out, std::ostream& err)
{
    TCliOptions options = ParseCliOptions(args);
    if (options.Help) {
        out << CliHelpText() << std::flush;
        return 0;
    }
    if (options.Version) {
        out << "statlume-cli " << version << '\n' << std::flush;
        return 0;
    }
    if (options.Serve && options.Once)
        options.Errors.push_back("--once cannot be used with --serve");
    if (!options.Errors.empty())
        return Usage(options.Errors, err);

    const auto given = CommandLineTemplate(options, err);
    if (!given)
        return BadInputStatus;

    const platform::TReportFunc report = [&err](const std::string& message) {
        err << "statlume-cli: " << message << '\n' << std::flush;
    };
    // From the parse above, so a long option's value is never read as a switch.
    const TClientSwitches switches = options.ClientSwitches();
    const LocaleInfo locale = platform::ReadProcessLocale();
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
            return Usage({message}, err);
    }

    const bool client = switches.ClientMode;
    TConsoleApp app(out, err, locale, client ? ClientConsoleSources : LinuxConsoleSources);
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
    secret.Password = switches.Password.value_or("");
    std::optional<TConsoleServer> server;
    const auto startServer = [&] {
        if (server->Start(*servePort, [&store] { return store.ReadPassword(); }))
            return true;
        // A headless server that cannot listen has nothing to do; the run did not happen.
        saveOnExit = false;
        return false;
    };
    if (options.Serve)
        server.emplace(app.Io(), app.Shell(), secret, err);

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
        TConsoleClient consoleClient(app, secret, std::move(clientOptions), out, err);
        return consoleClient.Run();
    }

    TMonitorOptions monitorOptions;
    monitorOptions.TemplateText = templateText;
    monitorOptions.IntervalMs = intervalMs;
    monitorOptions.Once = options.Once;
    monitorOptions.DumpRecordFile = options.DumpRecordFile;
    if (server) {
        // Clients may show any item, so every family is fresh on every tick.
        app.Collector().SetCollectAll(true);
        monitorOptions.Print = options.Print;
        monitorOptions.OnFirstRecord = startServer;
    }
    TConsoleMonitor monitor(app, std::move(monitorOptions), out, err);
    return monitor.Run();
}

} // namespace statlume
