#include <functional>

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
    RegisterItem(TItem::Temp1, std::bind_front(&TMBMFormat::Temp1Func, this));
    RegisterItem(TItem::Temp2, std::bind_front(&TMBMFormat::Temp2Func, this));
    RegisterItem(TItem::Temp3, std::bind_front(&TMBMFormat::Temp3Func, this));
    RegisterItem(TItem::Fan1, std::bind_front(&TMBMFormat::Fan1Func, this));
    RegisterItem(TItem::Fan2, std::bind_front(&TMBMFormat::Fan2Func, this));
    RegisterItem(TItem::Fan3, std::bind_front(&TMBMFormat::Fan3Func, this));
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
