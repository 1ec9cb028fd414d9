#pragma once

#include <cstddef>
#include <cstdint>

namespace statlume {

/// Server side: at most this many bytes are read per readable event of a client connection.
inline constexpr std::size_t RequestReadSize = 10;

/// Client side: at most this many bytes are read per readable event.
inline constexpr std::size_t ClientReadSize = 1024;

/// The request byte a client sends on every tick ("T").
inline constexpr std::uint8_t RequestByte = 0x54;

/// True when a read of count bytes asks for a reply: at least one byte, the last one "T";
/// whatever precedes it is ignored, so several requests in one read are answered once.
bool IsRequest(const std::uint8_t* bytes, std::size_t count);

} // namespace statlume
