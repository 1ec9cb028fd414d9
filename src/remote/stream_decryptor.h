#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "remote/blowfish_cipher.h"

namespace statlume {

/// Decrypts a client's received byte stream in whole cipher blocks only, holding back an
/// incomplete last block until the read that completes it; a read cut at any byte thus stays in
/// line with the sender's blocks, where decrypting each read with the tail rule would garble
/// the stream until a later read happened to end on a block boundary.
class TStreamDecryptor
{
public:
    /// Decrypts the held-back bytes followed by count new bytes and returns the plain bytes
    /// ready for Feed (a multiple of 8; valid until the next call); up to 7 bytes wait.
    std::span<const std::uint8_t> Decrypt(TBlowfishCipher& cipher, const std::uint8_t* bytes,
                                          std::size_t count);
    /// Drops the held-back bytes; call when a new connection starts a new stream.
    void Clear() { Held = 0; }
    /// Number of bytes waiting for the rest of their block (0..7).
    std::size_t HeldBack() const { return Held; }

private:
    std::vector<std::uint8_t> Buffer;
    std::array<std::uint8_t, TBlowfishCipher::BlockSize> Carry{};
    std::size_t Held = 0;
};

} // namespace statlume
