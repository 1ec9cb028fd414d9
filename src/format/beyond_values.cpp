#include "format/beyond_values.h"

#include <algorithm>
#include <charconv>

#include "base/ascii_case.h"
#include "format/figure_text.h"
#include "record/raw_data.h"

namespace statlume {

namespace {

constexpr double BytesPerKB = 1024.0;
// The places a Top item's FORMAT can pick, as many as the snapshot's lists hold.
constexpr std::size_t TopListLength = 10;

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

// "N %" and "%" ask for a share of the total; the number before picks the GPU.
bool AsksPercent(std::string_view format)
{
    return TrimBlanks(format).ends_with('%');
}

using TTopField = TTopPick::TField;

std::optional<TTopField> TopFieldOf(std::string_view word)
{
    if (word.empty() || EqualsFolded(word, "NAME"))
        return TTopField::Name;
    if (EqualsFolded(word, "CPU"))
        return TTopField::Cpu;
    if (EqualsFolded(word, "MEM"))
        return TTopField::Memory;
    if (EqualsFolded(word, "PID"))
        return TTopField::Pid;
    return std::nullopt;
}

const TProcessFigure* PickedProcess(const std::vector<TProcessFigure>& list, const TTopPick& pick)
{
    return pick.Place < list.size() ? &list[pick.Place] : nullptr;
}

std::optional<TMeasure> MeasureTop(const std::vector<TProcessFigure>& list, std::string_view format)
{
    const auto pick = ReadTopPick(format);
    const TProcessFigure* process = pick ? PickedProcess(list, *pick) : nullptr;
    if (process == nullptr)
        return std::nullopt;
    if (pick->Field == TTopField::Cpu)
        return TMeasure{process->CpuPercent, 100.0};
    if (pick->Field == TTopField::Memory)
        return TMeasure{static_cast<double>(process->ResidentBytes) / BytesPerMB, 0};
    return std::nullopt;
}

std::string TopText(const std::vector<TProcessFigure>& list, const TItemTextArgs& args)
{
    const auto pick = ReadTopPick(args.Format);
    const TProcessFigure* process = pick ? PickedProcess(list, *pick) : nullptr;
    if (process == nullptr)
        return {};
    switch (pick->Field) {
    case TTopField::Name:
        return process->Name;
    case TTopField::Pid:
        return std::to_string(process->Pid);
    case TTopField::Cpu:
    case TTopField::Memory:
        break;
    }
    const auto measure = MeasureTop(list, args.Format);
    return FigureText(measure->Value, args.LeadZero, args.Decimal, args.Locale);
}

} // namespace

std::optional<std::size_t> GpuPlace(std::string_view format)
{
    std::string_view number = TrimBlanks(format);
    if (number.ends_with('%'))
        number = TrimBlanks(number.substr(0, number.size() - 1));
    std::size_t place = 1;
    if (!number.empty()) {
        const auto [end, error] =
            std::from_chars(number.data(), number.data() + number.size(), place);
        if (error != std::errc() || end != number.data() + number.size())
            return std::nullopt;
    }
    if (place == 0)
        return std::nullopt;
    return place;
}

const TGpuFigure* SelectedGpu(const TFiguresBeyond& beyond, std::string_view format)
{
    const auto place = GpuPlace(format);
    if (!place || *place > beyond.Gpus.size())
        return nullptr;
    return &beyond.Gpus[*place - 1];
}

std::optional<TTopPick> ReadTopPick(std::string_view format)
{
    format = TrimBlanks(format);
    const std::size_t blank = format.find(' ');
    const std::string_view number = format.substr(0, blank);
    const std::string_view word =
        blank == std::string_view::npos ? std::string_view() : TrimBlanks(format.substr(blank + 1));
    const auto field = TopFieldOf(word);
    if (!field)
        return std::nullopt;
    if (number.empty())
        return TTopPick{};
    std::size_t place = 0;
    for (const char c : number) {
        if (c < '0' || c > '9' || place > TopListLength)
            return std::nullopt;
        place = place * 10 + static_cast<std::size_t>(c - '0');
    }
    if (place < 1 || place > TopListLength)
        return std::nullopt;
    return TTopPick{place - 1, *field};
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

std::optional<TMeasure> MeasureTopCpu(const TRawDataShell& shell, std::string_view format)
{
    return MeasureTop(shell.Beyond.TopByCpu, format);
}

std::optional<TMeasure> MeasureTopMem(const TRawDataShell& shell, std::string_view format)
{
    return MeasureTop(shell.Beyond.TopByMemory, format);
}

TItemScale TopScale(std::string_view format)
{
    const auto pick = ReadTopPick(format);
    if (pick && pick->Field == TTopField::Cpu)
        return PartScale(format);
    if (pick && pick->Field == TTopField::Memory)
        return CountScale(format);
    return NoScale(format);
}

std::string TopCpuText(const TRawDataShell& shell, const TItemTextArgs& args)
{
    return TopText(shell.Beyond.TopByCpu, args);
}

std::string TopMemText(const TRawDataShell& shell, const TItemTextArgs& args)
{
    return TopText(shell.Beyond.TopByMemory, args);
}

} // namespace statlume
