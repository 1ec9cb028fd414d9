#include "format/formatter.h"
#include "format/number_format.h"

namespace statlume {

namespace {

std::string TempText(std::int16_t celsius, const std::string& format, const LocaleInfo& locale)
{
    double value = celsius;
    if (format == "F" || format == "f")
        value = value * 9 / 5 + 32;
    return FormatFloat("%g", value, locale);
}

// The sensor program reports 255 for a fan it cannot read.
std::string FanText(std::int32_t speed)
{
    return speed == 255 ? std::string("0") : std::to_string(speed);
}

} // namespace

TMBMFormat::TMBMFormat(TRawDataShell& shell, const LocaleInfo& locale)
    : TFormatter(shell, locale)
{
    RegisterItem(TItem::Temp1, [this](const std::string& format, bool leadZero, bool decimal) {
        return Temp1Func(format, leadZero, decimal);
    });
    RegisterItem(TItem::Temp2, [this](const std::string& format, bool leadZero, bool decimal) {
        return Temp2Func(format, leadZero, decimal);
    });
    RegisterItem(TItem::Temp3, [this](const std::string& format, bool leadZero, bool decimal) {
        return Temp3Func(format, leadZero, decimal);
    });
    RegisterItem(TItem::Fan1, [this](const std::string& format, bool leadZero, bool decimal) {
        return Fan1Func(format, leadZero, decimal);
    });
    RegisterItem(TItem::Fan2, [this](const std::string& format, bool leadZero, bool decimal) {
        return Fan2Func(format, leadZero, decimal);
    });
    RegisterItem(TItem::Fan3, [this](const std::string& format, bool leadZero, bool decimal) {
        return Fan3Func(format, leadZero, decimal);
    });
}

std::string TMBMFormat::Temp1Func(const std::string& format, bool, bool) const
{
    return TempText(Data().Temps[0], format, Locale);
}

std::string TMBMFormat::Temp2Func(const std::string& format, bool, bool) const
{
    return TempText(Data().Temps[1], format, Locale);
}

std::string TMBMFormat::Temp3Func(const std::string& format, bool, bool) const
{
    return TempText(Data().Temps[2], format, Locale);
}

std::string TMBMFormat::Fan1Func(const std::string&, bool, bool) const
{
    return FanText(Data().Fans[0]);
}

std::string TMBMFormat::Fan2Func(const std::string&, bool, bool) const
{
    return FanText(Data().Fans[1]);
}

std::string TMBMFormat::Fan3Func(const std::string&, bool, bool) const
{
    return FanText(Data().Fans[2]);
}

} // namespace statlume
