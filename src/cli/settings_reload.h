#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/registry.h"
#include "settings/settings_store.h"

namespace statlume {

/// The settings a reload applies, read from settings file text without writing anything:
/// "FormatString", "Interval", "Exclude" and "DriveMap" of the key at keyPath, each left at
/// its default (Interval: 2000 for a client, else 1000) when missing or of another type (the
/// latter reported by name). Nothing, with the file's line and reason reported, when the
/// text does not parse; a missing key gives the defaults.
std::optional<TStoredSettings> ReadReloadSettings(std::string_view fileText,
                                                  const std::string& keyPath, bool client,
                                                  const platform::TReportFunc& report);

/// ReadReloadSettings on the file at path; a missing file gives the defaults, one that
/// cannot be read is reported and gives nothing.
std::optional<TStoredSettings> ReadReloadSettingsFile(const std::string& path,
                                                      const std::string& keyPath, bool client,
                                                      const platform::TReportFunc& report);

} // namespace statlume
