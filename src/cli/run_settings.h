#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "cli/cli_options.h"
#include "platform/registry.h"
#include "settings/settings_store.h"

namespace statlume {

/// The update interval of a run in milliseconds: --interval, else the stored "Interval"
/// (already 2000 in client mode when missing); a stored 0 or less is reported and the mode's
/// default used.
std::uint32_t RunIntervalMs(const TCliOptions& options, const TStoredSettings& settings,
                            const platform::TReportFunc& report);

/// The port a server listens on: --serve=PORT, else the stored "ServPort"; nothing, with a
/// message saying why, when the stored port is outside 1..65535.
std::optional<std::uint16_t> ServePortOf(const TCliOptions& options,
                                         const TStoredSettings& settings, std::string& message);

/// The stored "FormatString" of the key at keyPath, read without creating, migrating or
/// writing anything; nothing when the key or the value is missing or of another type.
std::optional<std::string> StoredTemplateReadOnly(platform::TRegistry& registry,
                                                  const std::string& keyPath,
                                                  const platform::TReportFunc& report);

/// The stored text value name of the key at keyPath, read as StoredTemplateReadOnly reads.
std::optional<std::string> StoredTextReadOnly(platform::TRegistry& registry,
                                              const std::string& keyPath, const std::string& name,
                                              const platform::TReportFunc& report);

} // namespace statlume
