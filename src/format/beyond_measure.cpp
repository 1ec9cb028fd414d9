#include "format/beyond_measure.h"

#include <algorithm>

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

} // namespace statlume
