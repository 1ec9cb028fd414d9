#include <functional>

#include "format/beyond_measure.h"
#include "format/figure_text.h"
#include "format/formatter.h"

namespace statlume {

TBatteryFormat::TBatteryFormat(TRawDataShell& shell, const LocaleInfo& locale)
    : TFormatter(shell, locale)
{
    RegisterItem(TItem::BatteryCharge, std::bind_front(&TBatteryFormat::ChargeFunc, this));
    RegisterItem(TItem::BatteryState, std::bind_front(&TBatteryFormat::StateFunc, this));
    RegisterItem(TItem::BatteryTime, std::bind_front(&TBatteryFormat::TimeFunc, this));
    RegisterItem(TItem::BatteryPower, std::bind_front(&TBatteryFormat::PowerFunc, this));
}

std::string TBatteryFormat::ChargeFunc(const std::string& format, bool leadZero, bool decimal) const
{
    const TBatteryFigure* battery = SelectedBattery(Shell.Beyond, format);
    if (battery == nullptr || !battery->ChargePercent)
        return {};
    return FigureText(*battery->ChargePercent, leadZero, decimal, Locale);
}

std::string TBatteryFormat::StateFunc(const std::string& format, bool, bool) const
{
    const TBatteryFigure* battery = SelectedBattery(Shell.Beyond, format);
    return battery == nullptr ? std::string() : battery->State;
}

std::string TBatteryFormat::TimeFunc(const std::string& format, bool, bool) const
{
    const TBatteryFigure* battery = SelectedBattery(Shell.Beyond, format);
    if (battery == nullptr || !battery->MinutesLeft || *battery->MinutesLeft < 0)
        return {};
    const long minutes = *battery->MinutesLeft;
    const long rest = minutes % 60;
    return std::to_string(minutes / 60) + (rest < 10 ? ":0" : ":") + std::to_string(rest);
}

std::string TBatteryFormat::PowerFunc(const std::string& format, bool leadZero, bool decimal) const
{
    const TBatteryFigure* battery = SelectedBattery(Shell.Beyond, format);
    if (battery == nullptr || !battery->PowerWatts)
        return {};
    return FigureText(*battery->PowerWatts, leadZero, decimal, Locale);
}

} // namespace statlume
