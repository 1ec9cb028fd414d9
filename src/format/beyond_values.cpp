#include "format/beyond_values.h"

#include <algorithm>

#include "format/figure_text.h"

namespace statlume {

namespace {

constexpr double BytesPerKB = 1024.0;

std::optional<TMeasure> Kilobytes(std::optional<double> bytesPerSecond)
{
    if (!bytesPerSecond)
        return std::nullopt;
    return TMeasure{*bytesPerSecond / BytesPerKB, 0};
}

} // namespace

std::optional<double> SelectedLoad(const TFiguresBeyond& beyond, std::string_view format)
{
    if (!beyond.Load)
        return std::nullopt;
    if (format.empty() || format == "1")
        return beyond.Load->OneMinute;
    if (format == "5")
        return beyond.Load->FiveMinutes;
    if (format == "15")
        return beyond.Load->FifteenMinutes;
    return std::nullopt;
}

std::optional<double> SelectedDiskRate(const TFiguresBeyond& beyond, std::string_view format,
                                       bool written)
{
    const auto rateOf = [written](const TDiskFigure& disk) {
        return written ? disk.WrittenBytesPerSecond : disk.ReadBytesPerSecond;
    };
    if (!format.empty()) {
        const auto found =
            std::find_if(beyond.Disks.begin(), beyond.Disks.end(),
                         [format](const TDiskFigure& d) { return d.Name == format; });
        return found == beyond.Disks.end() ? std::nullopt : rateOf(*found);
    }
    std::optional<double> sum;
    for (const TDiskFigure& disk : beyond.Disks) {
        if (disk.Whole && rateOf(disk))
            sum = sum.value_or(0) + *rateOf(disk);
    }
    return sum;
}

const TBatteryFigure* SelectedBattery(const TFiguresBeyond& beyond, std::string_view format)
{
    const auto found = std::find_if(beyond.Batteries.begin(), beyond.Batteries.end(),
                                    [format](const TBatteryFigure& b) { return b.Name == format; });
    return found == beyond.Batteries.end() ? nullptr : &*found;
}

std::optional<TMeasure> MeasureLoadAvg(const TRawDataShell& shell, std::string_view format)
{
    const auto load = SelectedLoad(shell.Beyond, format);
    return load ? std::optional<TMeasure>(TMeasure{*load, 0}) : std::nullopt;
}

std::optional<TMeasure> MeasureDiskRead(const TRawDataShell& shell, std::string_view format)
{
    return Kilobytes(SelectedDiskRate(shell.Beyond, format, false));
}

std::optional<TMeasure> MeasureDiskWrite(const TRawDataShell& shell, std::string_view format)
{
    return Kilobytes(SelectedDiskRate(shell.Beyond, format, true));
}

std::optional<TMeasure> MeasureBatteryCharge(const TRawDataShell& shell, std::string_view format)
{
    const TBatteryFigure* battery = SelectedBattery(shell.Beyond, format);
    if (battery == nullptr || !battery->ChargePercent)
        return std::nullopt;
    return TMeasure{*battery->ChargePercent, 100.0};
}

std::optional<TMeasure> MeasureBatteryPower(const TRawDataShell& shell, std::string_view format)
{
    const TBatteryFigure* battery = SelectedBattery(shell.Beyond, format);
    if (battery == nullptr || !battery->PowerWatts)
        return std::nullopt;
    return TMeasure{*battery->PowerWatts, 0};
}

std::string LoadAvgText(const TRawDataShell& shell, const TItemTextArgs& args)
{
    const auto load = SelectedLoad(shell.Beyond, args.Format);
    return load ? FigureText(*load, args.LeadZero, true, args.Locale) : std::string();
}

std::string DiskReadText(const TRawDataShell& shell, const TItemTextArgs& args)
{
    const auto rate = MeasureDiskRead(shell, args.Format);
    return rate ? FigureText(rate->Value, args.LeadZero, args.Decimal, args.Locale) : std::string();
}

std::string DiskWriteText(const TRawDataShell& shell, const TItemTextArgs& args)
{
    const auto rate = MeasureDiskWrite(shell, args.Format);
    return rate ? FigureText(rate->Value, args.LeadZero, args.Decimal, args.Locale) : std::string();
}

std::string BatteryChargeText(const TRawDataShell& shell, const TItemTextArgs& args)
{
    const auto charge = MeasureBatteryCharge(shell, args.Format);
    return charge ? FigureText(charge->Value, args.LeadZero, args.Decimal, args.Locale)
                  : std::string();
}

std::string BatteryStateText(const TRawDataShell& shell, const TItemTextArgs& args)
{
    const TBatteryFigure* battery = SelectedBattery(shell.Beyond, args.Format);
    return battery == nullptr ? std::string() : battery->State;
}

std::string BatteryTimeText(const TRawDataShell& shell, const TItemTextArgs& args)
{
    const TBatteryFigure* battery = SelectedBattery(shell.Beyond, args.Format);
    if (battery == nullptr || !battery->MinutesLeft || *battery->MinutesLeft < 0)
        return {};
    const long minutes = *battery->MinutesLeft;
    const long rest = minutes % 60;
    return std::to_string(minutes / 60) + (rest < 10 ? ":0" : ":") + std::to_string(rest);
}

std::string BatteryPowerText(const TRawDataShell& shell, const TItemTextArgs& args)
{
    const auto power = MeasureBatteryPower(shell, args.Format);
    return power ? FigureText(power->Value, args.LeadZero, args.Decimal, args.Locale)
                 : std::string();
}

} // namespace statlume
