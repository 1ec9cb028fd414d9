#include "cli/record_render.h"

#include <variant>

#include "cli/record_file.h"
#include "format/formatter.h"
#include "format/tag_language.h"

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
    DecideAllActive(formatters, templateText);
    shell.Data = DecodeRawData(std::get<TRawBytes>(record));

    std::string text;
    for (const std::string& line : SplitTemplateLines(templateText)) {
        text += RenderLine(formatters, line);
        text += '\n';
    }
    text += '\n';
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.flush();
    return 0;
}

} // namespace statlume
