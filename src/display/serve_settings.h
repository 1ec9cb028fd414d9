#pragma once

#include <optional>
#include <string>

#include "remote/serve_limits.h"
#include "settings/settings_store.h"

namespace statlume {

/// The window server's limits as the settings give them.
struct TServeSettings
{
    TServeLimits Limits;
    /// Why the server must not listen: a stored value it cannot honour (serving everyone
    /// instead of the ranges asked for would be worse than not serving).
    std::optional<std::string> Problem;
};

/// The limits from the stored "ServBind" (an IPv4 or IPv6 address), "ServAllow" (address
/// ranges, as the console's --allow) and "ServMaxPerAddress" (1 to 65536).
TServeSettings ServeSettingsOf(const TStoredSettings& stored);

} // namespace statlume
