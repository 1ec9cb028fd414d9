#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "remote/blowfish.h"

namespace statlume {

/// The program's payload cipher: Blowfish keyed from the SHA-1 digest of a password, in block
/// chaining whose chaining value runs on from one message to the next until re-keyed.
class TBlowfishCipher
{
public:
    /// Size of the key block in bytes: the 20-byte digest followed by twelve 0xFF bytes.
    static constexpr std::size_t KeyBlockSize = 32;
    /// Size of a cipher block in bytes.
    static constexpr std::size_t BlockSize = 8;
    /// One cipher block.
    using TBlock = std::array<std::uint8_t, BlockSize>;

    /// Not keyed until SetKeyFromPassword.
    TBlowfishCipher() = default;
    /// Key material is never copied.
    TBlowfishCipher(const TBlowfishCipher&) = delete;
    /// Key material is never copied.
    TBlowfishCipher& operator=(const TBlowfishCipher&) = delete;
    /// Clears the key material.
    ~TBlowfishCipher();

    /// Keys from the password bytes (key block = SHA-1 digest + twelve 0xFF, IV = E(eight
    /// 0xFF)), scrubs the key block by chained encryption and leaves CV = IV; a keyed cipher is
    /// cleared first.
    void SetKeyFromPassword(std::string_view password);
    /// True after key set-up, false after construction and Clear.
    bool Initialized() const { return Keyed; }
    /// Chained encryption of n bytes from in to out (the same buffer is allowed); the last
    /// n % 8 bytes are XORed with E(CV), which leaves CV unchanged; throws TCipherError
    /// ("Blowfish: Not initialized") before key set-up.
    void Encrypt(const std::uint8_t* in, std::uint8_t* out, std::size_t n);
    /// Encrypt running the given chaining value instead of the cipher's own, which stays as
    /// it is: one key serves several streams, each with its own chain.
    void Encrypt(const std::uint8_t* in, std::uint8_t* out, std::size_t n, TBlock& chain) const;
    /// Chained decryption of n bytes in place, with the same tail rule as Encrypt; throws
    /// TCipherError("Blowfish: Not initialized") before key set-up.
    void Decrypt(std::uint8_t* data, std::size_t n);
    /// CV := IV.
    void Reset();
    /// Fills key material, IV and CV with 0xFF and marks the cipher not initialised.
    void Clear();

    /// The initialisation vector (for diagnostics and tests).
    const TBlock& IV() const { return InitVector; }
    /// The current chaining value (for diagnostics and tests).
    const TBlock& CV() const { return ChainValue; }

private:
    void RequireKeyed() const;
    void ApplyTail(const TBlock& chain, const std::uint8_t* in, std::uint8_t* out,
                   std::size_t n) const;

    TBlowfish Cipher;
    TBlock InitVector{};
    TBlock ChainValue{};
    bool Keyed = false;
};

} // namespace statlume
