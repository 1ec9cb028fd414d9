#include "cli/record_render.h"

#include <variant>

#include "cli/record_file.h"
#include "cli/status_output.h"
#include "format/run_renderer.h"
#include "format/tag_language.h"
#include "format/template_cap.h"
#include "record/record_check.h"

namespace statlume {

std::string RenderConsoleText(const TFormatterList& formatters,
                              const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines) {
        text += RenderLine(formatters, line);
        text += '\n';
    }
    text += '\n';
    return text;
}

int RenderRecordFile(const std::string& recordPath, std::string_view templateText,
                     const LocaleInfo& locale, std::ostream& out, std::ostream& err)
{
    const TRecordFileResult record = ReadRecordFile(recordPath);
    if (const auto* message = std::get_if<std::string>(&record)) {
        err << "statlume-cli: " << *message << '\n' << std::flush;
        return RecordFileErrorStatus;
    }

    const TTemplateCap cap = CapTemplate(templateText);
    if (cap.Cut)
        err << "statlume-cli: " << TemplateCapMessage(cap) << '\n' << std::flush;
    templateText = cap.Kept;
    TRawDataShell shell;
    const TFormatterList formatters = CreateFormatters(shell, locale);
    DecideAllActive(formatters, templateText);
    shell.Data = DecodeRawData(std::get<TRawBytes>(record));
    if (const auto failure = RecordCheckFailure(shell.Data)) {
        err << "statlume-cli: record file '" << recordPath << "' fails the checks: " << *failure
            << '\n'
            << std::flush;
        return RecordFileErrorStatus;
    }

    // One record is one sample: graphs show a single value.
    TRunRenderer renderer;
    renderer.SetLines(SplitTemplateLines(templateText));
    const std::string text =
        FormatUpdate(TOutputFormat{}, renderer.RenderAll(formatters, 0, true), false);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.flush();
    return 0;
}

} // namespace statlume
