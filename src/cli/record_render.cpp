#include "cli/record_render.h"

#include <variant>

#include "cli/record_file.h"
#include "cli/status_output.h"
#include "monitor/monitor.h"
#include "record/record_check.h"

namespace statlume {

int RenderRecordFile(const std::string& recordPath, std::string_view templateText,
                     const LocaleInfo& locale, std::ostream& out, std::ostream& err)
{
    const TRecordFileResult record = ReadRecordFile(recordPath);
    if (const auto* message = std::get_if<std::string>(&record)) {
        err << "statlume-cli: " << *message << '\n' << std::flush;
        return RecordFileErrorStatus;
    }

    TRawDataShell shell;
    const TFormatterList formatters = CreateFormatters(shell, locale);
    TMonitor monitor(formatters);
    if (const std::string cut = monitor.SetTemplate(templateText); !cut.empty())
        err << "statlume-cli: " << cut << '\n' << std::flush;
    // The labels are built before the record arrives, as a client builds them.
    shell.Data = DecodeRawData(std::get<TRawBytes>(record));
    if (const auto failure = RecordCheckFailure(shell.Data)) {
        err << "statlume-cli: record file '" << recordPath << "' fails the checks: " << *failure
            << '\n'
            << std::flush;
        return RecordFileErrorStatus;
    }

    // One record is one sample: graphs show a single value.
    const std::string text = FormatUpdate(TOutputFormat{}, monitor.RenderAll(0, true), false);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.flush();
    return 0;
}

} // namespace statlume
