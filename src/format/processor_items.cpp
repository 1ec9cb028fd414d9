#include <functional>

#include "format/detail_values.h"
#include "format/figure_text.h"
#include "format/formatter.h"

namespace statlume {

TProcFormat::TProcFormat(TRawDataShell& shell, const LocaleInfo& locale)
    : TFormatter(shell, locale)
{
    RegisterItem(TItem::ProcUsage, std::bind_front(&TProcFormat::ProcUsageFunc, this));
}

std::string TProcFormat::ProcUsageFunc(const std::string& format, bool leadZero, bool decimal) const
{
    // A core past the fourth comes from beside the record, where only a local collection
    // puts it.
    if (const TCoreFigure* core = SelectedCore(Shell.Beyond, format))
        return core->UsagePercent ? FigureText(*core->UsagePercent, leadZero, decimal, Locale)
                                  : std::string();
    const std::int32_t index = ReadFormatIndex(format);
    // The table has five entries; any other index shows nothing rather than reading past it.
    if (index < 0 || index >= static_cast<std::int32_t>(std::size(Data().ProcUsage)))
        return {};
    // A usage needs two samples; until then, or when it could not be read, it has no value.
    if (!Shell.Known.Proc[static_cast<std::size_t>(index)])
        return {};
    return FigureText(Data().ProcUsage[index], leadZero, decimal, Locale);
}

} // namespace statlume
