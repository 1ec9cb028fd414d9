#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "collect/raw_data_shell.h"
#include "format/locale_info.h"

namespace statlume {

/// An item's value function: FORMAT text, LEADZERO flag, DECIMAL flag in; value text out.
using TFormatFunc =
    std::function<std::string(const std::string& format, bool leadZero, bool decimal)>;

/// One item's record.
struct TFormatData
{
    std::string Description;
    /// Upper-cased (ASCII letters only).
    std::string TagName;
    std::string DefaultUsage;
    TFormatFunc Func;
};

/// Base of the six formatter families: a list of items that read one part of the snapshot.
class TFormatter
{
public:
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
    /// Appends an item; the tag name is stored upper-cased.
    void RegisterItem(std::string displayName, std::string description, std::string_view tagName,
                      std::string defaultUsage, TFormatFunc func);

    const TRawData& Data() const { return Shell.Data; }
    const LocaleInfo& Locale;
};

/// Motherboard sensors: three temperatures and three fans.
class TMBMFormat : public TFormatter
{
public:
    TMBMFormat(TRawDataShell& shell, const LocaleInfo& locale);
};

/// Uptime, thread and process counts.
class TUTPFormat : public TFormatter
{
public:
    TUTPFormat(TRawDataShell& shell, const LocaleInfo& locale);
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
};

/// Processor usage.
class TProcFormat : public TFormatter
{
public:
    TProcFormat(TRawDataShell& shell, const LocaleInfo& locale);
    /// The processor item's value (also drawn by the tray icon).
    std::string ProcUsageFunc(const std::string& format, bool leadZero, bool decimal) const;
};

/// Network throughput.
class TNetworkFormat : public TFormatter
{
public:
    TNetworkFormat(TRawDataShell& shell, const LocaleInfo& locale);
};

/// Addresses, names, date and time, blank, drive space.
class TNonPerfFormat : public TFormatter
{
public:
    TNonPerfFormat(TRawDataShell& shell, const LocaleInfo& locale);
    /// The base decision, then every drive letter of the snapshot is cleared.
    void DecideIfActive(std::string_view templateText) override;
};

/// The format registry: the six formatters in registry order.
using TFormatterList = std::vector<std::unique_ptr<TFormatter>>;

/// Positions of the families in the registry.
enum class TFamily : std::size_t
{
    MBM = 0,
    UTP = 1,
    PageRAM = 2,
    Proc = 3,
    Network = 4,
    NonPerf = 5,
};

/// Creates the six formatters in registry order, all sharing one shell and one locale.
TFormatterList CreateFormatters(TRawDataShell& shell, const LocaleInfo& locale);

/// The formatter of one family.
TFormatter& FamilyOf(const TFormatterList& formatters, TFamily family);

} // namespace statlume
