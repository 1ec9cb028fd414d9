#include "format/beyond_values.h"

#include <algorithm>
#include <charconv>

#include "format/figure_text.h"
#include "record/raw_data.h"

namespace statlume {

namespace {

constexpr double BytesPerKB = 1024.0;

std::optional<TMeasure> Kilobytes(std::optional<double> bytesPerSecond)
{
    if (!bytesPerSecond)
        return std::nullopt;
    return TMeasure{*bytesPerSecond / BytesPerKB, 0};
}

// A GPU's figure as a measure against maximum (0: none).
std::optional<TMeasure> GpuMeasure(const TRawDataShell& shell, std::string_view format,
                                   std::optional<double> TGpuFigure::*figure, double maximum = 0)
{
    const TGpuFigure* gpu = SelectedGpu(shell.Beyond, format);
    if (gpu == nullptr || !(gpu->*figure))
        return std::nullopt;
    return TMeasure{*(gpu->*figure), maximum};
}

std::string MeasureText(const std::optional<TMeasure>& measure, const TItemTextArgs& args)
{
    return measure ? FigureText(measure->Value, args.LeadZero, args.Decimal, args.Locale)
                   : std::string();
}

std::string_view TrimmedBlanks(std::string_view text)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// "N %" and "%" ask for a share of the total; the number before picks the GPU.
bool AsksPercent(std::string_view format)
{
    return TrimmedBlanks(format).ends_with('%');
}

} // namespace

const TGpuFigure* SelectedGpu(const TFiguresBeyond& beyond, std::string_view format)
{
    std::string_view number = TrimmedBlanks(format);
    if (number.ends_with('%'))
        number = TrimmedBlanks(number.substr(0, number.size() - 1));
    std::size_t position = 1;
    if (!number.empty()) {
        const auto [end, error] =
            std::from_chars(number.data(), number.data() + number.size(), position);
        if (error != std::errc() || end != number.data() + number.size())
            return nullptr;
    }
    if (position == 0 || position > beyond.Gpus.size())
        return nullptr;
    return &beyond.Gpus[position - 1];
}

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

std::optional<TMeasure> MeasureGPUUsage(const TRawDataShell& shell, std::string_view format)
{
    return GpuMeasure(shell, format, &TGpuFigure::BusyPercent, 100.0);
}

std::optional<TMeasure> MeasureGPUMemUsed(const TRawDataShell& shell, std::string_view format)
{
    const TGpuFigure* gpu = SelectedGpu(shell.Beyond, format);
    if (gpu == nullptr || !gpu->MemoryUsedBytes)
        return std::nullopt;
    const double used = static_cast<double>(*gpu->MemoryUsedBytes);
    const double total = static_cast<double>(gpu->MemoryTotalBytes.value_or(0));
    if (AsksPercent(format)) {
        // A share of no total would read as 0 % used.
        if (total <= 0)
            return std::nullopt;
        return TMeasure{used / total * 100.0, 100.0};
    }
    return TMeasure{used / BytesPerMB, total / BytesPerMB};
}

std::optional<TMeasure> MeasureGPUMemTotal(const TRawDataShell& shell, std::string_view format)
{
    const TGpuFigure* gpu = SelectedGpu(shell.Beyond, format);
    if (gpu == nullptr || !gpu->MemoryTotalBytes)
        return std::nullopt;
    return TMeasure{static_cast<double>(*gpu->MemoryTotalBytes) / BytesPerMB, 0};
}

std::optional<TMeasure> MeasureGPUTemp(const TRawDataShell& shell, std::string_view format)
{
    return GpuMeasure(shell, format, &TGpuFigure::TemperatureCelsius);
}

std::optional<TMeasure> MeasureGPUPower(const TRawDataShell& shell, std::string_view format)
{
    return GpuMeasure(shell, format, &TGpuFigure::PowerWatts);
}

std::optional<TMeasure> MeasureGPUClock(const TRawDataShell& shell, std::string_view format)
{
    return GpuMeasure(shell, format, &TGpuFigure::ClockMHz);
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

std::string GPUUsageText(const TRawDataShell& shell, const TItemTextArgs& args)
{
    return MeasureText(MeasureGPUUsage(shell, args.Format), args);
}

std::string GPUMemUsedText(const TRawDataShell& shell, const TItemTextArgs& args)
{
    return MeasureText(MeasureGPUMemUsed(shell, args.Format), args);
}

std::string GPUMemTotalText(const TRawDataShell& shell, const TItemTextArgs& args)
{
    return MeasureText(MeasureGPUMemTotal(shell, args.Format), args);
}

std::string GPUTempText(const TRawDataShell& shell, const TItemTextArgs& args)
{
    return MeasureText(MeasureGPUTemp(shell, args.Format), args);
}

std::string GPUPowerText(const TRawDataShell& shell, const TItemTextArgs& args)
{
    return MeasureText(MeasureGPUPower(shell, args.Format), args);
}

std::string GPUClockText(const TRawDataShell& shell, const TItemTextArgs& args)
{
    return MeasureText(MeasureGPUClock(shell, args.Format), args);
}

std::string GPUNameText(const TRawDataShell& shell, const TItemTextArgs& args)
{
    const TGpuFigure* gpu = SelectedGpu(shell.Beyond, args.Format);
    return gpu == nullptr ? std::string() : gpu->Name;
}

} // namespace statlume
