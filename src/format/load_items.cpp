#include <functional>

#include "format/beyond_measure.h"
#include "format/figure_text.h"
#include "format/formatter.h"

namespace statlume {

TLoadFormat::TLoadFormat(TRawDataShell& shell, const LocaleInfo& locale)
    : TFormatter(shell, locale)
{
    RegisterItem(TItem::LoadAvg, std::bind_front(&TLoadFormat::LoadAvgFunc, this));
}

std::string TLoadFormat::LoadAvgFunc(const std::string& format, bool leadZero, bool) const
{
    const auto load = SelectedLoad(Shell.Beyond, format);
    return load ? FigureText(*load, leadZero, true, Locale) : std::string();
}

} // namespace statlume
