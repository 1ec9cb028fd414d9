#pragma once

#include <cstddef>
#include <cstdint>

namespace statlume {

/// Fills size bytes at target with value through volatile stores, so that scrubbing key
/// material just before it goes out of scope is not optimised away.
inline void SecureFill(void* target, std::size_t size, std::uint8_t value)
{
    auto* bytes = static_cast<volatile std::uint8_t*>(target);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = value;
}

} // namespace statlume
