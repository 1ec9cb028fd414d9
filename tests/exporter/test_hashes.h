// bcrypt hashes the exporter's tests store in their web configurations.
#pragma once

#include <string>

namespace statlume {

/// htpasswd -nbBC 4 "" 'pass word'.
inline const std::string Cost4Hash = "$2y$04$UVEPvLzLP42Y/TjZcayz5.0dP/m6EU6AdntoNDxGcuPDr0u9aUkyy";

} // namespace statlume
