#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/locale_info.h"
#include "format/item_catalogue.h"
#include "record/raw_data_shell.h"

namespace statlume {

/// An item's value function: FORMAT text, LEADZERO flag, DECIMAL flag in; value text out.
using TFormatFunc =
    std::function<std::string(const std::string& format, bool leadZero, bool decimal)>;

/// One item's record.
struct TFormatData
{
    /// The item, whose catalogue row holds its measure and scale.
    TItem Item;
    /// Help text before GetDescription adds its line breaks.
    std::string Description;
    /// Upper-cased (ASCII letters only).
    std::string TagName;
    /// A template line that uses the item.
    std::string DefaultUsage;
    /// The value function, bound to the formatter that registered it.
    TFormatFunc Func;
};

class TFormatter;

/// Told of every tag a formatter replaces, just before the replacement.
class TTagObserver
{
public:
    /// tag is the tag's text (from "<NAME=" through ">") at start of the line being rendered;
    /// it is replaced by valueSize bytes of value.
    virtual void OnTagReplaced(const TFormatter& formatter, const TFormatData& item,
                               std::string_view tag, std::size_t start, std::size_t valueSize) = 0;

protected:
    ~TTagObserver() = default;
};

/// Base of the formatter families: a list of items that read one part of the snapshot.
class TFormatter
{
public:
    /// Inactive and left-aligned with no items; shell and locale must outlive the formatter.
    TFormatter(TRawDataShell& shell, const LocaleInfo& locale);
    virtual ~TFormatter() = default;
    TFormatter(const TFormatter&) = delete;
    TFormatter& operator=(const TFormatter&) = delete;

    /// Sets Active when the template text (all lines) holds "<NAME=" directly followed by
    /// the tag name of one of this formatter's items, ignoring ASCII case.
    virtual void DecideIfActive(std::string_view templateText);

    /// The line with every tag of this formatter's items replaced by its padded value;
    /// the line unchanged when the formatter is not Active.
    std::string ReplaceTags(std::string_view line);
    /// ReplaceTags on text in place, so a chain of formatters can share one buffer; observer,
    /// when given, is told of each replacement.
    void ReplaceTagsInPlace(std::string& text, TTagObserver* observer = nullptr);

    /// The item's help text with a line break after every "." and the default usage
    /// string appended; empty text when this formatter has no item of that display name.
    std::string GetDescription(std::string_view displayName) const;
    /// The item's default usage string; empty text for an unknown display name.
    std::string GetDefaultUsage(std::string_view displayName) const;
    /// Appends the display names of the items, in registration order.
    void ListItems(std::vector<std::string>& list) const;

    /// The current template uses at least one of this formatter's items.
    bool Active = false;
    /// Display name with its record, in registration order.
    std::vector<std::pair<std::string, TFormatData>> Items;
    /// The snapshot holder the value functions read; not owned.
    TRawDataShell& Shell;
    /// Side of SIZE padding: 0 = left-aligned (pad after), 1 = right-aligned (pad before).
    std::uint8_t Alignment = 0;

protected:
    /// Appends an item with the names, help and usage of its catalogue row; the tag name is
    /// stored upper-cased.
    void RegisterItem(TItem item, TFormatFunc func);

    /// The snapshot the value functions read.
    const TRawData& Data() const { return Shell.Data; }
    /// Separators and names for numbers, dates and times; not owned.
    const LocaleInfo& Locale;
};

/// Motherboard sensors: three temperatures and three fans.
class TMBMFormat : public TFormatter
{
public:
    TMBMFormat(TRawDataShell& shell, const LocaleInfo& locale);
    /// Temperature n in degrees Celsius; in Fahrenheit when FORMAT is "F" in either case.
    std::string Temp1Func(const std::string& format, bool leadZero, bool decimal) const;
    /// Temperature 2, read as Temp1Func.
    std::string Temp2Func(const std::string& format, bool leadZero, bool decimal) const;
    /// Temperature 3, read as Temp1Func.
    std::string Temp3Func(const std::string& format, bool leadZero, bool decimal) const;
    /// Fan speed n as a signed decimal; the reading 255 shows as "0".
    std::string Fan1Func(const std::string& format, bool leadZero, bool decimal) const;
    /// Fan speed 2, read as Fan1Func.
    std::string Fan2Func(const std::string& format, bool leadZero, bool decimal) const;
    /// Fan speed 3, read as Fan1Func.
    std::string Fan3Func(const std::string& format, bool leadZero, bool decimal) const;
};

/// Uptime, thread and process counts.
class TUTPFormat : public TFormatter
{
public:
    TUTPFormat(TRawDataShell& shell, const LocaleInfo& locale);
    /// The uptime through UpTimeSubFormat with FORMAT as the pattern; empty for no FORMAT.
    std::string UptimeFunc(const std::string& format, bool leadZero, bool decimal) const;
    /// The thread count as a signed decimal.
    std::string ThreadsFunc(const std::string& format, bool leadZero, bool decimal) const;
    /// The process count as a signed decimal.
    std::string ProcessesFunc(const std::string& format, bool leadZero, bool decimal) const;
    /// Replaces the first *d*, *D*, *h*, *H*, *m*, *M*, *s*, *S* of the pattern by the
    /// days, hours, minutes and seconds of the given count of seconds.
    static std::string UpTimeSubFormat(std::string_view pattern, bool leadZero,
                                       std::int64_t seconds);
};

/// Page file and physical memory in MB or percent.
class TPageRAMFormat : public TFormatter
{
public:
    TPageRAMFormat(TRawDataShell& shell, const LocaleInfo& locale);
    /// The page file total in MB, no decimals or two with DECIMAL.
    std::string PageTotalFunc(const std::string& format, bool leadZero, bool decimal) const;
    /// Used page file in MB, or in percent of the total when FORMAT is exactly "%" ("0"
    /// for a zero total); 0 when free exceeds total.
    std::string PageUsedFunc(const std::string& format, bool leadZero, bool decimal) const;
    /// Free page file, read as PageUsedFunc.
    std::string PageFreeFunc(const std::string& format, bool leadZero, bool decimal) const;
    /// Physical memory total, read as PageTotalFunc.
    std::string RAMTotalFunc(const std::string& format, bool leadZero, bool decimal) const;
    /// Used physical memory, read as PageUsedFunc.
    std::string RAMUsedFunc(const std::string& format, bool leadZero, bool decimal) const;
    /// Free physical memory, read as PageUsedFunc.
    std::string RAMFreeFunc(const std::string& format, bool leadZero, bool decimal) const;
};

/// Processor usage.
class TProcFormat : public TFormatter
{
public:
    TProcFormat(TRawDataShell& shell, const LocaleInfo& locale);
    /// The processor item's value (also drawn by the tray icon): the usage of the processor
    /// FORMAT reads as (0 = all), "0" in front below 10 with LEADZERO, two decimals with
    /// DECIMAL; from 5 on, that core beside the record when the snapshot holds it; empty text
    /// for any other index.
    std::string ProcUsageFunc(const std::string& format, bool leadZero, bool decimal) const;
};

/// Network throughput.
class TNetworkFormat : public TFormatter
{
public:
    TNetworkFormat(TRawDataShell& shell, const LocaleInfo& locale);
    /// KB/s received by the adapter FORMAT reads as (0 = all), or by the interface whose
    /// kernel name FORMAT is when the snapshot holds it beside the record; FORMAT "b" gives
    /// kbit/s of all adapters; empty text for an index outside 0..4.
    std::string ReadFunc(const std::string& format, bool leadZero, bool decimal) const;
    /// KB/s sent, read as ReadFunc.
    std::string WriteFunc(const std::string& format, bool leadZero, bool decimal) const;
};

/// Addresses, names, date and time, blank, drive space.
class TNonPerfFormat : public TFormatter
{
public:
    TNonPerfFormat(TRawDataShell& shell, const LocaleInfo& locale);
    /// The base decision, then every drive letter of the snapshot is cleared.
    void DecideIfActive(std::string_view templateText) override;
    /// The non-empty address slots joined by FORMAT (", " when empty); LEADZERO pads each
    /// octet with blanks to three characters.
    std::string IPAddrFunc(const std::string& format, bool leadZero, bool decimal) const;
    /// The computer name (at most 15 bytes).
    std::string CompNameFunc(const std::string& format, bool leadZero, bool decimal) const;
    /// The logon name (at most 15 bytes).
    std::string UserNameFunc(const std::string& format, bool leadZero, bool decimal) const;
    /// The local time in the date-time format language; an empty FORMAT means "c".
    std::string DateTimeFunc(const std::string& format, bool leadZero, bool decimal) const;
    /// Empty text, for spacing with SIZE and CHAR.
    std::string BlankFunc(const std::string& format, bool leadZero, bool decimal) const;
    /// Free or total MB of the drive whose letter starts FORMAT ("C FREE", "d total"); an
    /// unknown letter is registered in a free drive slot and shows empty text until measured.
    std::string DriveSpaceFunc(const std::string& format, bool leadZero, bool decimal);
};

/// A family of the figures beyond the record (load, disks, batteries, GPUs): it registers every
/// catalogue row of its family with the row's own text function, so a new item of such a
/// family is one row and its value functions.
class TFiguresFormat : public TFormatter
{
public:
    TFiguresFormat(TRawDataShell& shell, const LocaleInfo& locale, TFamily family);
};

/// The format registry: the formatters in registry order.
using TFormatterList = std::vector<std::unique_ptr<TFormatter>>;

/// Creates the formatters in registry order (the six laid-down families, then those of the
/// figures beyond the record), all sharing one shell and one locale.
TFormatterList CreateFormatters(TRawDataShell& shell, const LocaleInfo& locale);

/// The formatter of one family.
TFormatter& FamilyOf(const TFormatterList& formatters, TFamily family);

} // namespace statlume
