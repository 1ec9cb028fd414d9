#include <array>
#include <functional>
#include <optional>

#include "format/detail_values.h"
#include "format/figure_text.h"
#include "format/formatter.h"

namespace statlume {

namespace {

std::string InterfaceText(const std::optional<double>& rate, bool leadZero, bool decimal,
                          const LocaleInfo& locale)
{
    return rate ? FigureText(*rate, leadZero, decimal, locale) : std::string();
}

std::string RateText(const float (&rates)[5], const std::array<bool, 5>& known,
                     const std::string& format, bool leadZero, bool decimal,
                     const LocaleInfo& locale)
{
    const std::int32_t index = ReadFormatIndex(format);
    if (index < 0 || index >= static_cast<std::int32_t>(std::size(rates)))
        return {};
    // A rate needs two samples; until then, or when it could not be read, it has no value.
    if (!known[static_cast<std::size_t>(index)])
        return {};
    float value = rates[index];
    // "b" (lower case only) turns KB/s into kbit/s; it is no number, so it is always the total.
    if (format == "b")
        value = value * 8.0f;
    return FigureText(value, leadZero, decimal, locale);
}

} // namespace

TNetworkFormat::TNetworkFormat(TRawDataShell& shell, const LocaleInfo& locale)
    : TFormatter(shell, locale)
{
    RegisterItem(TItem::NetRead, std::bind_front(&TNetworkFormat::ReadFunc, this));
    RegisterItem(TItem::NetWrite, std::bind_front(&TNetworkFormat::WriteFunc, this));
}

std::string TNetworkFormat::ReadFunc(const std::string& format, bool leadZero, bool decimal) const
{
    if (const TInterfaceFigure* figure = SelectedInterface(Shell.Beyond, format))
        return InterfaceText(figure->ReadKBps, leadZero, decimal, Locale);
    return RateText(Data().NetRead, Shell.Known.Net, format, leadZero, decimal, Locale);
}

std::string TNetworkFormat::WriteFunc(const std::string& format, bool leadZero, bool decimal) const
{
    if (const TInterfaceFigure* figure = SelectedInterface(Shell.Beyond, format))
        return InterfaceText(figure->WriteKBps, leadZero, decimal, Locale);
    return RateText(Data().NetWrite, Shell.Known.Net, format, leadZero, decimal, Locale);
}

} // namespace statlume
