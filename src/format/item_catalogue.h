#pragma once

// The item catalogue: one row per template item with everything the program knows of it.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "base/locale_info.h"
#include "format/item_measure.h"
#include "record/family_set.h"
#include "record/raw_data.h"
#include "record/raw_data_shell.h"

namespace statlume {

/// The format items in registry order: the 24 laid-down ones, then the figures beyond the
/// record.
enum class TItem : std::size_t
{
    Temp1,
    Temp2,
    Temp3,
    Fan1,
    Fan2,
    Fan3,
    Uptime,
    Threads,
    Processes,
    PageTotal,
    PageUsed,
    PageFree,
    RAMTotal,
    RAMUsed,
    RAMFree,
    ProcUsage,
    NetRead,
    NetWrite,
    IPAddr,
    CompName,
    UserName,
    DateTime,
    Blank,
    DriveSpace,
    LoadAvg,
    DiskRead,
    DiskWrite,
    BatteryCharge,
    BatteryState,
    BatteryTime,
    BatteryPower,
    GPUUsage,
    GPUMemUsed,
    GPUMemTotal,
    GPUTemp,
    GPUPower,
    GPUClock,
    GPUName,
    TopCPU,
    TopMem,
};

/// Number of format items.
inline constexpr std::size_t ItemCount = 40;

/// The Prometheus family an item's figure is exported in.
struct TItemMetric
{
    /// The family name; empty when the item is not exported. A name ending in "_total" is a
    /// counter, any other a gauge.
    std::string_view Name;
    /// The family's HELP text.
    std::string_view Help;
    /// The names of the labels of the item's samples, comma-separated; empty for none.
    std::string_view Labels;
};

/// An item's number for bars, graphs and thresholds from the snapshot and FORMAT text; nothing
/// for a FORMAT that selects no figure.
using TMeasureFunc = std::optional<TMeasure> (*)(const TRawDataShell& shell,
                                                 std::string_view format);
/// What an item's text function is given besides the snapshot.
struct TItemTextArgs
{
    const std::string& Format;
    bool LeadZero;
    bool Decimal;
    const LocaleInfo& Locale;
};
/// The text of an item of the figures beyond the record. The laid-down items have none in
/// their rows: their families register named functions of their own.
using TTextFunc = std::string (*)(const TRawDataShell& shell, const TItemTextArgs& args);
/// Whether the figure FORMAT selects was measured.
using TKnownFunc = bool (*)(const TFigureKnown& known, std::string_view format);
/// How the value FORMAT selects reads against thresholds and a maximum.
using TScaleFunc = TItemScale (*)(std::string_view format);

/// Everything about one item. Rows name every member, so one left out draws
/// -Wmissing-field-initializers, an error in the project's builds.
struct TItemRow
{
    /// The item this row describes; rows are in TItem order.
    TItem Item;
    /// The formatter family that registers the item.
    TFamily Family;
    /// Name written after "<NAME=", in its usual case (matching ignores case).
    std::string_view TagName;
    /// Name shown in the options dialog.
    std::string_view DisplayName;
    /// The help text as stored in the item's record (before GetDescription's line breaks).
    std::string (*Help)();
    /// A ready-made template line using the item (UTF-8).
    std::string_view DefaultUsage;
    /// The options the value function reads, blank-separated (SIZE and CHAR apply to all).
    std::string_view Options;
    /// The text the item shows; nullptr where the family registers a function of its own.
    TTextFunc Text;
    /// The number behind the text; nullptr for an item without one.
    TMeasureFunc Measure;
    /// Whether the figure was measured; nullptr for an item that is always known.
    TKnownFunc Known;
    /// Thresholds and maximum of the value.
    TScaleFunc Scale;
    /// What BAR and GRAPH draw against, in the words of --describe; empty without a maximum.
    std::string_view MaximumText;
    /// The unit the value shows in by default; empty for counts and texts.
    std::string_view Unit;
    /// The exported family; an empty name when the item is not exported.
    TItemMetric Metric;
};

/// The catalogue's rows in TItem order.
const std::array<TItemRow, ItemCount>& ItemCatalogue();

/// The row of an item.
const TItemRow& ItemRow(TItem item);

/// The row whose tag name equals tagName, ASCII case ignored; nullptr when none does.
const TItemRow* FindItemRow(std::string_view tagName);

/// The item's help text as stored in its record.
std::string ItemDescription(TItem item);

} // namespace statlume
