#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace statlume::platform {

/// The value of an environment variable; nothing when it is unset.
inline std::optional<std::string> Environment(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

} // namespace statlume::platform
