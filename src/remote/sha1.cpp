#include "remote/sha1.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "remote/big_endian.h"
#include "remote/cipher_error.h"

namespace statlume {

void TSha1::Init()
{
    State = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u, 0xC3D2E1F0u};
    Buffer.fill(0);
    Buffered = 0;
    TotalBytes = 0;
    Initialized = true;
}

void TSha1::RequireInitialized() const
{
    if (!Initialized)
        throw TCipherError("SHA1: Not initialized");
}

void TSha1::Update(const std::uint8_t* data, std::size_t n)
{
    RequireInitialized();
    if (n == 0)
        return;
    TotalBytes += n;
    if (Buffered > 0) {
        const std::size_t take = std::min(n, Buffer.size() - Buffered);
        std::memcpy(Buffer.data() + Buffered, data, take);
        Buffered += take;
        data += take;
        n -= take;
        if (Buffered < Buffer.size())
            return;
        Compress(Buffer.data());
        Buffered = 0;
    }
    for (; n >= Buffer.size(); data += Buffer.size(), n -= Buffer.size())
        Compress(data);
    std::memcpy(Buffer.data(), data, n);
    Buffered = n;
}

std::array<std::uint8_t, TSha1::DigestSize> TSha1::Final()
{
    RequireInitialized();
    const std::uint64_t bitLength = TotalBytes * 8;
    Buffer[Buffered++] = 0x80;
    if (Buffered > 56) {
        std::memset(Buffer.data() + Buffered, 0, Buffer.size() - Buffered);
        Compress(Buffer.data());
        Buffered = 0;
    }
    std::memset(Buffer.data() + Buffered, 0, 56 - Buffered);
    for (int i = 0; i < 8; ++i)
        Buffer[56 + i] = static_cast<std::uint8_t>(bitLength >> (56 - 8 * i));
    Compress(Buffer.data());

    std::array<std::uint8_t, DigestSize> digest{};
    for (std::size_t i = 0; i < State.size(); ++i)
        StoreBigEndian32(State[i], digest.data() + 4 * i);
    // Leave no trace of the message in the object.
    State.fill(0);
    Buffer.fill(0);
    Buffered = 0;
    TotalBytes = 0;
    Initialized = false;
    return digest;
}

std::array<std::uint8_t, TSha1::DigestSize> TSha1::Digest(std::string_view bytes)
{
    TSha1 sha;
    sha.Init();
    sha.Update(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    return sha.Final();
}

void TSha1::Compress(const std::uint8_t* block)
{
    std::array<std::uint32_t, 80> w{};
    for (std::size_t t = 0; t < 16; ++t)
        w[t] = LoadBigEndian32(block + 4 * t);
    for (std::size_t t = 16; t < 80; ++t)
        w[t] = std::rotl(w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16], 1);

    auto [a, b, c, d, e] = State;
    for (std::size_t t = 0; t < 80; ++t) {
        std::uint32_t f = 0;
        std::uint32_t k = 0;
        if (t < 20) {
            f = (b & c) | (~b & d);
            k = 0x5A827999u;
        } else if (t < 40) {
            f = b ^ c ^ d;
            k = 0x6ED9EBA1u;
        } else if (t < 60) {
            f = (b & c) | (b & d) | (c & d);
            k = 0x8F1BBCDCu;
        } else {
            f = b ^ c ^ d;
            k = 0xCA62C1D6u;
        }
        const std::uint32_t next = std::rotl(a, 5) + f + e + k + w[t];
        e = d;
        d = c;
        c = std::rotl(b, 30);
        b = a;
        a = next;
    }
    State[0] += a;
    State[1] += b;
    State[2] += c;
    State[3] += d;
    State[4] += e;
}

} // namespace statlume
