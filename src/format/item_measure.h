#pragma once

// The value functions behind bars, graphs and thresholds: each item's number, its natural
// maximum, whether it was measured and how it reads against thresholds.

#include <optional>
#include <string_view>

#include "record/raw_data.h"
#include "record/raw_data_shell.h"

namespace statlume {

/// An item's value as a number, in the unit its text shows.
struct TMeasure
{
    double Value = 0;
    /// The natural maximum in the same unit; 0 when the item has none or it is the peak of
    /// the last minute, which only the caller's history knows.
    double Maximum = 0;
};

/// How an item's value reads against its thresholds and its maximum.
struct TItemScale
{
    /// The item has a numeric value (thresholds apply).
    bool HasValue = false;
    /// The item has a natural maximum (bars and graphs apply).
    bool HasMaximum = false;
    /// Low values are bad (free space): thresholds apply at or below.
    bool LowIsBad = false;
    /// The maximum is the peak of the last minute (network rates).
    bool PeakMaximum = false;
};

/// Temperature n in degrees Celsius, Fahrenheit for FORMAT "F" in either case; no maximum.
std::optional<TMeasure> MeasureTemp1(const TRawDataShell& shell, std::string_view format);
/// Temperature 2, as MeasureTemp1.
std::optional<TMeasure> MeasureTemp2(const TRawDataShell& shell, std::string_view format);
/// Temperature 3, as MeasureTemp1.
std::optional<TMeasure> MeasureTemp3(const TRawDataShell& shell, std::string_view format);
/// Fan n in rpm, the unreadable mark 255 as 0; no maximum.
std::optional<TMeasure> MeasureFan1(const TRawDataShell& shell, std::string_view format);
/// Fan 2, as MeasureFan1.
std::optional<TMeasure> MeasureFan2(const TRawDataShell& shell, std::string_view format);
/// Fan 3, as MeasureFan1.
std::optional<TMeasure> MeasureFan3(const TRawDataShell& shell, std::string_view format);
/// The thread count; no maximum.
std::optional<TMeasure> MeasureThreads(const TRawDataShell& shell, std::string_view format);
/// The process count; no maximum.
std::optional<TMeasure> MeasureProcesses(const TRawDataShell& shell, std::string_view format);
/// The page file total in MB; no maximum.
std::optional<TMeasure> MeasurePageTotal(const TRawDataShell& shell, std::string_view format);
/// Used page file in MB against the total, or in percent of it for FORMAT "%"; nothing
/// without a total.
std::optional<TMeasure> MeasurePageUsed(const TRawDataShell& shell, std::string_view format);
/// Free page file, as MeasurePageUsed.
std::optional<TMeasure> MeasurePageFree(const TRawDataShell& shell, std::string_view format);
/// Physical memory total in MB; no maximum.
std::optional<TMeasure> MeasureRAMTotal(const TRawDataShell& shell, std::string_view format);
/// Used physical memory, as MeasurePageUsed.
std::optional<TMeasure> MeasureRAMUsed(const TRawDataShell& shell, std::string_view format);
/// Free physical memory, as MeasurePageUsed.
std::optional<TMeasure> MeasureRAMFree(const TRawDataShell& shell, std::string_view format);
/// The usage in percent of the processor FORMAT reads as (0 = all) against 100, from 5 on of
/// that core beside the record; nothing for an index the snapshot does not hold.
std::optional<TMeasure> MeasureProcUsage(const TRawDataShell& shell, std::string_view format);
/// KB/s received by the adapter FORMAT reads as or by the interface it names, kbit/s of all
/// for FORMAT "b"; the maximum is the caller's peak.
std::optional<TMeasure> MeasureNetRead(const TRawDataShell& shell, std::string_view format);
/// KB/s sent, as MeasureNetRead.
std::optional<TMeasure> MeasureNetWrite(const TRawDataShell& shell, std::string_view format);
/// Free MB against the total ("C FREE") or total MB ("C TOTAL") of the drive whose letter
/// starts FORMAT; nothing for a drive not measured.
std::optional<TMeasure> MeasureDriveSpace(const TRawDataShell& shell, std::string_view format);

/// Whether the processor entry FORMAT selects was measured (true for an index out of range).
bool ProcKnown(const TFigureKnown& known, std::string_view format);
/// Whether the network entry FORMAT selects was measured (true for an index out of range).
bool NetKnown(const TFigureKnown& known, std::string_view format);
/// Whether uptime, thread and process counts were measured.
bool SystemKnown(const TFigureKnown& known, std::string_view format);

/// No numeric value.
TItemScale NoScale(std::string_view format);
/// A number without a maximum.
TItemScale CountScale(std::string_view format);
/// A number against a maximum, high is bad.
TItemScale PartScale(std::string_view format);
/// A free share against a maximum, low is bad.
TItemScale FreeScale(std::string_view format);
/// A rate against the peak of the last minute.
TItemScale RateScale(std::string_view format);
/// Free space (FORMAT holds FREE) as FreeScale, total space (TOTAL) as CountScale, else none.
TItemScale DriveScale(std::string_view format);

} // namespace statlume
