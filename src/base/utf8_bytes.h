#pragma once

namespace statlume {

/// True for the second and later bytes of a UTF-8 sequence (10xxxxxx): text is never cut
/// before one.
inline bool IsContinuationByte(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

} // namespace statlume
