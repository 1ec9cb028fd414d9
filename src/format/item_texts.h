#pragma once

// The items' help texts that are built from shared parts; the catalogue's rows use them.

#include <string>
#include <string_view>

namespace statlume {

/// The help text of temperature sensor digit ('1'..'3').
std::string TempHelp(char digit);

/// The help text of fan sensor digit ('1'..'3').
std::string FanHelp(char digit);

/// head followed by the note on FORMAT="%" that used and free memory items share.
std::string PercentageHelp(std::string_view head);

/// The uptime item's help text, ending with UptimeHelpText.
std::string UptimeHelp();

/// The date-time item's help text, ending with DateTimeHelpText.
std::string DateTimeHelp();

/// The drive space item's help text, which counts the drive slots.
std::string DriveSpaceHelp();

/// The list of uptime markers that ends the uptime item's help text; CR LF line ends.
std::string UptimeHelpText();

/// The list of date-time specifiers that ends the date-time item's help text; CR LF line ends.
std::string DateTimeHelpText();

} // namespace statlume
