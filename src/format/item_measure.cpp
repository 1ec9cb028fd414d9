#include "format/item_measure.h"

#include <array>
#include <cstdint>
#include <iterator>

#include "base/ascii_case.h"
#include "format/detail_values.h"
#include "format/figure_text.h"
#include "record/raw_data.h"

namespace statlume {

namespace {

// Used or free memory in MB against the total, or in percent of it as FORMAT "%" shows it;
// nothing without a total (no swap), which would otherwise read as "0 % free", critical.
std::optional<TMeasure> MemoryPart(std::uint64_t part, std::uint64_t total, std::string_view format)
{
    if (total == 0)
        return std::nullopt;
    if (format == "%") {
        return TMeasure{static_cast<double>(part) / static_cast<double>(total) * 100.0, 100.0};
    }
    return TMeasure{static_cast<double>(part) / BytesPerMB,
                    static_cast<double>(total) / BytesPerMB};
}

std::uint64_t Used(std::uint64_t total, std::uint64_t free)
{
    return free > total ? 0 : total - free;
}

std::optional<TMeasure> Indexed(const float (&values)[5], std::string_view format, double maximum)
{
    const std::int32_t index = ReadFormatIndex(format);
    if (index < 0 || index >= static_cast<std::int32_t>(std::size(values)))
        return std::nullopt;
    return TMeasure{values[index], maximum};
}

std::optional<TMeasure> NetRate(const float (&rates)[5], std::string_view format)
{
    if (format == "b")
        return TMeasure{rates[0] * 8.0, 0};
    return Indexed(rates, format, 0);
}

// A core's usage or an interface's rate beside the record: nothing before two samples.
std::optional<TMeasure> Percent(const std::optional<double>& usage)
{
    if (!usage)
        return std::nullopt;
    return TMeasure{*usage, 100.0};
}

std::optional<TMeasure> Rate(const std::optional<double>& kbps)
{
    if (!kbps)
        return std::nullopt;
    return TMeasure{*kbps, 0};
}

// Rates show no value until two samples exist; an index outside the table selects nothing.
bool EntryKnown(const std::array<bool, 5>& known, std::string_view format)
{
    const std::int32_t index = ReadFormatIndex(format);
    return index < 0 || index >= static_cast<std::int32_t>(known.size()) ||
           known[static_cast<std::size_t>(index)];
}

TMeasure Temperature(std::int16_t celsius, std::string_view format)
{
    return {format == "F" || format == "f" ? celsius * 9.0 / 5.0 + 32.0 : celsius, 0};
}

TMeasure Fan(std::int32_t speed)
{
    return {speed == 255 ? 0.0 : speed, 0};
}

TMeasure Count(double value)
{
    return {value, 0};
}

} // namespace

std::optional<TMeasure> MeasureTemp1(const TRawDataShell& shell, std::string_view format)
{
    return Temperature(shell.Data.Temps[0], format);
}

std::optional<TMeasure> MeasureTemp2(const TRawDataShell& shell, std::string_view format)
{
    return Temperature(shell.Data.Temps[1], format);
}

std::optional<TMeasure> MeasureTemp3(const TRawDataShell& shell, std::string_view format)
{
    return Temperature(shell.Data.Temps[2], format);
}

std::optional<TMeasure> MeasureFan1(const TRawDataShell& shell, std::string_view)
{
    return Fan(shell.Data.Fans[0]);
}

std::optional<TMeasure> MeasureFan2(const TRawDataShell& shell, std::string_view)
{
    return Fan(shell.Data.Fans[1]);
}

std::optional<TMeasure> MeasureFan3(const TRawDataShell& shell, std::string_view)
{
    return Fan(shell.Data.Fans[2]);
}

std::optional<TMeasure> MeasureThreads(const TRawDataShell& shell, std::string_view)
{
    return Count(static_cast<double>(shell.Data.ThreadCount));
}

std::optional<TMeasure> MeasureProcesses(const TRawDataShell& shell, std::string_view)
{
    return Count(static_cast<double>(shell.Data.ProcessCount));
}

std::optional<TMeasure> MeasurePageTotal(const TRawDataShell& shell, std::string_view)
{
    return Count(static_cast<double>(PageTotalBytes64(shell.Data)) / BytesPerMB);
}

std::optional<TMeasure> MeasurePageUsed(const TRawDataShell& shell, std::string_view format)
{
    const std::uint64_t total = PageTotalBytes64(shell.Data);
    return MemoryPart(Used(total, PageFreeBytes64(shell.Data)), total, format);
}

std::optional<TMeasure> MeasurePageFree(const TRawDataShell& shell, std::string_view format)
{
    return MemoryPart(PageFreeBytes64(shell.Data), PageTotalBytes64(shell.Data), format);
}

std::optional<TMeasure> MeasureRAMTotal(const TRawDataShell& shell, std::string_view)
{
    return Count(static_cast<double>(RAMTotalBytes64(shell.Data)) / BytesPerMB);
}

std::optional<TMeasure> MeasureRAMUsed(const TRawDataShell& shell, std::string_view format)
{
    const std::uint64_t total = RAMTotalBytes64(shell.Data);
    return MemoryPart(Used(total, RAMFreeBytes64(shell.Data)), total, format);
}

std::optional<TMeasure> MeasureRAMFree(const TRawDataShell& shell, std::string_view format)
{
    return MemoryPart(RAMFreeBytes64(shell.Data), RAMTotalBytes64(shell.Data), format);
}

std::optional<TMeasure> MeasureProcUsage(const TRawDataShell& shell, std::string_view format)
{
    if (const TCoreFigure* core = SelectedCore(shell.Beyond, format))
        return Percent(core->UsagePercent);
    return Indexed(shell.Data.ProcUsage, format, 100.0);
}

std::optional<TMeasure> MeasureNetRead(const TRawDataShell& shell, std::string_view format)
{
    if (const TInterfaceFigure* figure = SelectedInterface(shell.Beyond, format))
        return Rate(figure->ReadKBps);
    return NetRate(shell.Data.NetRead, format);
}

std::optional<TMeasure> MeasureNetWrite(const TRawDataShell& shell, std::string_view format)
{
    if (const TInterfaceFigure* figure = SelectedInterface(shell.Beyond, format))
        return Rate(figure->WriteKBps);
    return NetRate(shell.Data.NetWrite, format);
}

std::optional<TMeasure> MeasureDriveSpace(const TRawDataShell& shell, std::string_view format)
{
    if (format.empty())
        return std::nullopt;
    const char letter = AsciiUpper(format.front());
    for (const TDriveEntry& drive : shell.Data.Drives) {
        if (letter < 'A' || letter > 'Z' || drive.Letter != letter)
            continue;
        // A drive has some size: none means not measured yet (an entry just made) or unreadable.
        if (!(drive.TotalMB > 0))
            return std::nullopt;
        if (FindFolded(format, "FREE") != std::string_view::npos)
            return TMeasure{drive.FreeMB, drive.TotalMB};
        if (FindFolded(format, "TOTAL") != std::string_view::npos)
            return TMeasure{drive.TotalMB, 0};
        return std::nullopt;
    }
    return std::nullopt;
}

bool ProcKnown(const TFigureKnown& known, std::string_view format)
{
    return EntryKnown(known.Proc, format);
}

bool NetKnown(const TFigureKnown& known, std::string_view format)
{
    return EntryKnown(known.Net, format);
}

bool SystemKnown(const TFigureKnown& known, std::string_view)
{
    return known.System;
}

TItemScale NoScale(std::string_view)
{
    return {};
}

TItemScale CountScale(std::string_view)
{
    return {true, false, false, false};
}

TItemScale PartScale(std::string_view)
{
    return {true, true, false, false};
}

TItemScale FreeScale(std::string_view)
{
    return {true, true, true, false};
}

TItemScale RateScale(std::string_view)
{
    return {true, true, false, true};
}

TItemScale DriveScale(std::string_view format)
{
    // The same words the value function looks for, FREE first.
    if (FindFolded(format, "FREE") != std::string_view::npos)
        return FreeScale(format);
    if (FindFolded(format, "TOTAL") != std::string_view::npos)
        return CountScale(format);
    return NoScale(format);
}

} // namespace statlume
