#include "cli/console_program.h"

#include <optional>

#include "cli/cli_options.h"
#include "cli/console_app.h"
#include "cli/console_monitor.h"
#include "cli/record_file.h"
#include "cli/record_render.h"
#include "format/default_template.h"
#include "platform/linux/locale_reader.h"

namespace statlume {

namespace {

constexpr int BadInputStatus = 2;

// The template of this run: --template, else --template-file, else the default one.
std::optional<std::string> TemplateOf(const TCliOptions& options, std::ostream& err)
{
    if (options.TemplateText)
        return options.TemplateText;
    if (options.TemplateFile) {
        auto text = ReadTextFile(*options.TemplateFile);
        if (!text)
            err << "statlume-cli: cannot read template file '" << *options.TemplateFile << "'\n";
        return text;
    }
    TRawDataShell shell;
    return ComposeDefaultTemplate(CreateFormatters(shell, LocaleInfo{}));
}

} // namespace

int RunConsoleProgram(std::span<const std::string> args, std::string_view version,
                      std::ostream& out, std::ostream& err)
{
    const TCliOptions options = ParseCliOptions(args);
    if (options.Help) {
        out << CliHelpText() << std::flush;
        return 0;
    }
    if (options.Version) {
        out << "statlume-cli " << version << '\n' << std::flush;
        return 0;
    }
    if (!options.Errors.empty()) {
        for (const std::string& error : options.Errors)
            err << "statlume-cli: " << error << '\n';
        err << "Try 'statlume-cli --help'.\n" << std::flush;
        return BadInputStatus;
    }

    const std::optional<std::string> templateText = TemplateOf(options, err);
    if (!templateText)
        return BadInputStatus;

    const LocaleInfo locale = platform::ReadProcessLocale();
    if (options.RecordFile)
        return RenderRecordFile(*options.RecordFile, *templateText, locale, out, err);

    if (options.Serve || options.IsClient()) {
        err << "statlume-cli: the server and client modes are not available in this build\n";
        return BadInputStatus;
    }

    TConsoleApp app(out, err, locale);
    TMonitorOptions monitorOptions;
    monitorOptions.TemplateText = *templateText;
    monitorOptions.IntervalMs = options.IntervalMs.value_or(DefaultIntervalMs);
    monitorOptions.Once = options.Once;
    monitorOptions.DumpRecordFile = options.DumpRecordFile;
    TConsoleMonitor monitor(app, std::move(monitorOptions), out, err);
    return monitor.Run();
}

} // namespace statlume
