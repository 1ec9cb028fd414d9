#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace statlume {

/// The 24 format items in registry order.
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
};

/// Number of format items.
inline constexpr std::size_t ItemCount = 24;

/// The fixed names of one item.
struct TItemNames
{
    /// Name shown in the options dialog.
    std::string_view DisplayName;
    /// Name written after "<NAME=", in its usual case (matching ignores case).
    std::string_view TagName;
    /// A ready-made template line using the item (UTF-8).
    std::string_view DefaultUsage;
};

/// Display name, tag name and default usage string of an item.
TItemNames ItemNamesOf(TItem item);

/// The item's help text as stored in its record (before the line breaks GetDescription adds).
std::string ItemDescription(TItem item);

/// The list of uptime markers that ends the uptime item's help text; CR LF line ends.
std::string UptimeHelpText();

/// The list of date-time specifiers that ends the date-time item's help text; CR LF line ends.
std::string DateTimeHelpText();

} // namespace statlume
