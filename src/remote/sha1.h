#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace statlume {

/// SHA-1 digest (FIPS 180); Init, any number of Update calls, then Final.
class TSha1
{
public:
    /// Size of a digest in bytes.
    static constexpr std::size_t DigestSize = 20;

    /// Starts a new digest, discarding any unfinished one.
    void Init();
    /// Adds n bytes; throws TCipherError("SHA1: Not initialized") before Init.
    void Update(const std::uint8_t* data, std::size_t n);
    /// Pads, returns the 20 digest bytes in their standard order and requires a new Init;
    /// throws TCipherError("SHA1: Not initialized") before Init.
    std::array<std::uint8_t, DigestSize> Final();
    /// The digest of the given bytes in one call.
    static std::array<std::uint8_t, DigestSize> Digest(std::string_view bytes);

private:
    void Compress(const std::uint8_t* block);
    void RequireInitialized() const;

    std::array<std::uint32_t, 5> State{};
    std::array<std::uint8_t, 64> Buffer{};
    std::size_t Buffered = 0;
    std::uint64_t TotalBytes = 0;
    bool Initialized = false;
};

} // namespace statlume
