#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "remote/big_endian.h"

namespace statlume {

/// Blowfish block cipher (64-bit block, standard tables); a block is two 32-bit halves, each
/// big-endian, bytes 0..3 being the left half.
class TBlowfish
{
public:
    /// Smallest accepted key size in bytes.
    static constexpr std::size_t MinKeySize = 1;
    /// Largest accepted key size in bytes (448 bits).
    static constexpr std::size_t MaxKeySize = 56;

    /// Unkeyed: holds the initial tables.
    TBlowfish();

    /// Builds the key schedule from 1..56 key bytes taken cyclically, four at a time as
    /// big-endian words; other sizes throw TCipherError("Blowfish: Invalid key size - N")
    /// with N the size in bits.
    void SetKey(const std::uint8_t* key, std::size_t size);
    /// Encrypts one 8-byte block in place.
    void EncryptBlock(std::uint8_t block[8]) const;
    /// Decrypts one 8-byte block in place.
    void DecryptBlock(std::uint8_t block[8]) const;
    /// Encrypts one block given as its two halves, in place.
    void EncryptWords(std::uint32_t& left, std::uint32_t& right) const;
    /// Decrypts one block given as its two halves, in place.
    void DecryptWords(std::uint32_t& left, std::uint32_t& right) const;
    /// Fills the P-array and the S-boxes with 0xFF bytes so no key material remains.
    void Clear();

private:
    std::uint32_t F(std::uint32_t x) const
    {
        return ((S[0][x >> 24] + S[1][(x >> 16) & 0xFF]) ^ S[2][(x >> 8) & 0xFF]) + S[3][x & 0xFF];
    }

    std::array<std::uint32_t, 18> P;
    std::array<std::array<std::uint32_t, 256>, 4> S;
};

} // namespace statlume
