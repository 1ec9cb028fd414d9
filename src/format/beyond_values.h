#pragma once

// The values of the items of the figures beyond the record: the figure an item's FORMAT
// selects, its text, and the number behind bars, graphs and thresholds. Each lookup gives nothing
// when the snapshot holds no such figure (not collected, not measured yet, or a client's snapshot).

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "format/item_catalogue.h"
#include "format/item_measure.h"
#include "record/figures_beyond.h"
#include "record/raw_data_shell.h"

namespace statlume {

/// The load average over the minutes FORMAT names: "1" (also an empty FORMAT), "5" or "15";
/// nothing for other text.
std::optional<double> SelectedLoad(const TFiguresBeyond& beyond, std::string_view format);

/// Bytes per second read (or written) by the device FORMAT names by its kernel name, or the
/// sum over the whole physical disks for an empty FORMAT; nothing before two samples.
std::optional<double> SelectedDiskRate(const TFiguresBeyond& beyond, std::string_view format,
                                       bool written);

/// The battery FORMAT names ("BAT1"), or all batteries together for an empty FORMAT; nullptr
/// when there is no such battery.
const TBatteryFigure* SelectedBattery(const TFiguresBeyond& beyond, std::string_view format);

/// The GPU FORMAT picks: "N" or "N %" names the Nth in PCI address order (1 = first), an
/// empty FORMAT or "%" the first; nullptr for other text or a GPU that is not there.
/// The place a GPU FORMAT names (1 = first): "N" or "N %", and 1 for an empty FORMAT or "%";
/// nothing for other text.
std::optional<std::size_t> GpuPlace(std::string_view format);
const TGpuFigure* SelectedGpu(const TFiguresBeyond& beyond, std::string_view format);
/// What a Top item's FORMAT picks: a place in its list and a field of that process.
struct TTopPick
{
    enum class TField
    {
        Name,
        Cpu,
        Memory,
        Pid,
    };
    /// 0 for the first process.
    std::size_t Place = 0;
    TField Field = TField::Name;
};

/// Reads "N NAME", "N CPU", "N MEM" or "N PID" (N from 1 to 10, words in any case); N alone
/// picks that process's name, an empty FORMAT the first one's. Nothing for other text.
std::optional<TTopPick> ReadTopPick(std::string_view format);

/// The selected load average; no maximum.
std::optional<TMeasure> MeasureLoadAvg(const TRawDataShell& shell, std::string_view format);
/// KB/s read by the selected disks; the maximum is the caller's peak.
std::optional<TMeasure> MeasureDiskRead(const TRawDataShell& shell, std::string_view format);
/// KB/s written, as MeasureDiskRead.
std::optional<TMeasure> MeasureDiskWrite(const TRawDataShell& shell, std::string_view format);
/// The selected battery's charge in percent against 100.
std::optional<TMeasure> MeasureBatteryCharge(const TRawDataShell& shell, std::string_view format);
/// The selected battery's power in W, charging or discharging; no maximum.
std::optional<TMeasure> MeasureBatteryPower(const TRawDataShell& shell, std::string_view format);

/// The selected GPU's busy share in percent against 100.
std::optional<TMeasure> MeasureGPUUsage(const TRawDataShell& shell, std::string_view format);
/// Video memory used in MB against the total, or in percent of it with a "%" in FORMAT.
std::optional<TMeasure> MeasureGPUMemUsed(const TRawDataShell& shell, std::string_view format);
/// Video memory in MB; no maximum.
std::optional<TMeasure> MeasureGPUMemTotal(const TRawDataShell& shell, std::string_view format);
/// Temperature in degrees Celsius; no maximum.
std::optional<TMeasure> MeasureGPUTemp(const TRawDataShell& shell, std::string_view format);
/// Power in W; no maximum.
std::optional<TMeasure> MeasureGPUPower(const TRawDataShell& shell, std::string_view format);
/// Graphics clock in MHz; no maximum.
std::optional<TMeasure> MeasureGPUClock(const TRawDataShell& shell, std::string_view format);
/// The processor share against 100, or the resident MB, of the process FORMAT picks from the
/// processor list; nothing for its name or pid.
std::optional<TMeasure> MeasureTopCpu(const TRawDataShell& shell, std::string_view format);
/// The same of the memory list.
std::optional<TMeasure> MeasureTopMem(const TRawDataShell& shell, std::string_view format);
/// The processor share against 100 for "N CPU", a count for "N MEM", no value for the rest.
TItemScale TopScale(std::string_view format);

/// The selected load average with two decimals, a "0" in front below 10 with LEADZERO; empty
/// text when not collected or for another FORMAT.
std::string LoadAvgText(const TRawDataShell& shell, const TItemTextArgs& args);
/// KB/s read by the selected disks, read as the network rates; empty text before two samples
/// or for an unknown device.
std::string DiskReadText(const TRawDataShell& shell, const TItemTextArgs& args);
/// KB/s written, as DiskReadText.
std::string DiskWriteText(const TRawDataShell& shell, const TItemTextArgs& args);
/// The selected battery's charge in percent, read as the processor usage.
std::string BatteryChargeText(const TRawDataShell& shell, const TItemTextArgs& args);
/// "Charging", "Discharging", "Full", "Not charging" or "Unknown".
std::string BatteryStateText(const TRawDataShell& shell, const TItemTextArgs& args);
/// Time to empty or to full as hours:minutes ("4:05"); empty text when unknown.
std::string BatteryTimeText(const TRawDataShell& shell, const TItemTextArgs& args);
/// The power in W the battery gives or takes, read as the processor usage.
std::string BatteryPowerText(const TRawDataShell& shell, const TItemTextArgs& args);

/// The selected GPU's busy share in percent, read as the processor usage; the GPU figures
/// below read the same way and are empty text where the card gives no such figure.
std::string GPUUsageText(const TRawDataShell& shell, const TItemTextArgs& args);
/// Video memory used in MB, or in percent of the total with a "%" in FORMAT.
std::string GPUMemUsedText(const TRawDataShell& shell, const TItemTextArgs& args);
/// Video memory in MB.
std::string GPUMemTotalText(const TRawDataShell& shell, const TItemTextArgs& args);
/// Temperature in degrees Celsius.
std::string GPUTempText(const TRawDataShell& shell, const TItemTextArgs& args);
/// Power in W.
std::string GPUPowerText(const TRawDataShell& shell, const TItemTextArgs& args);
/// Graphics clock in MHz.
std::string GPUClockText(const TRawDataShell& shell, const TItemTextArgs& args);
/// The card's name, or its vendor and PCI address.
std::string GPUNameText(const TRawDataShell& shell, const TItemTextArgs& args);
/// The name, processor share (as the processor usage), resident MB (as the memory items) or pid
/// of the process FORMAT picks from the processor list; empty text when there is none.
std::string TopCpuText(const TRawDataShell& shell, const TItemTextArgs& args);
/// The same of the memory list.
std::string TopMemText(const TRawDataShell& shell, const TItemTextArgs& args);

} // namespace statlume
