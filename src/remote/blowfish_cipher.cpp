#include "remote/blowfish_cipher.h"

#include <algorithm>

#include "remote/cipher_error.h"
#include "remote/secure_fill.h"
#include "remote/sha1.h"

namespace statlume {

TBlowfishCipher::~TBlowfishCipher()
{
    Clear();
}

void TBlowfishCipher::SetKeyFromPassword(std::string_view password)
{
    std::array<std::uint8_t, KeyBlockSize> keyBlock{};
    keyBlock.fill(0xFF);
    auto digest = TSha1::Digest(password);
    std::copy(digest.begin(), digest.end(), keyBlock.begin());
    SecureFill(digest.data(), digest.size(), 0);

    if (Keyed)
        Clear();
    Cipher.SetKey(keyBlock.data(), keyBlock.size());
    InitVector.fill(0xFF);
    Cipher.EncryptBlock(InitVector.data());
    ChainValue = InitVector;
    Keyed = true;

    Encrypt(keyBlock.data(), keyBlock.data(), keyBlock.size());
    Reset();
}

void TBlowfishCipher::RequireKeyed() const
{
    if (!Keyed)
        throw TCipherError("Blowfish: Not initialized");
}

void TBlowfishCipher::ApplyTail(const TBlock& chain, const std::uint8_t* in, std::uint8_t* out,
                                std::size_t n) const
{
    TBlock key = chain;
    Cipher.EncryptBlock(key.data());
    for (std::size_t i = 0; i < n; ++i)
        out[i] = in[i] ^ key[i];
}

void TBlowfishCipher::Encrypt(const std::uint8_t* in, std::uint8_t* out, std::size_t n)
{
    Encrypt(in, out, n, ChainValue);
}

// The chaining value stays in two registers across the blocks; with in == out every block is
// read before it is written, so one buffer serves both.
void TBlowfishCipher::Encrypt(const std::uint8_t* in, std::uint8_t* out, std::size_t n,
                              TBlock& chain) const
{
    RequireKeyed();
    std::uint32_t chainLeft = LoadBigEndian32(chain.data());
    std::uint32_t chainRight = LoadBigEndian32(chain.data() + 4);
    const std::size_t whole = n - n % BlockSize;
    for (std::size_t at = 0; at < whole; at += BlockSize) {
        chainLeft ^= LoadBigEndian32(in + at);
        chainRight ^= LoadBigEndian32(in + at + 4);
        Cipher.EncryptWords(chainLeft, chainRight);
        StoreBigEndian32(chainLeft, out + at);
        StoreBigEndian32(chainRight, out + at + 4);
    }
    StoreBigEndian32(chainLeft, chain.data());
    StoreBigEndian32(chainRight, chain.data() + 4);
    if (whole < n)
        ApplyTail(chain, in + whole, out + whole, n - whole);
}

void TBlowfishCipher::Decrypt(std::uint8_t* data, std::size_t n)
{
    RequireKeyed();
    std::uint32_t chainLeft = LoadBigEndian32(ChainValue.data());
    std::uint32_t chainRight = LoadBigEndian32(ChainValue.data() + 4);
    const std::size_t whole = n - n % BlockSize;
    for (std::size_t at = 0; at < whole; at += BlockSize) {
        const std::uint32_t cipherLeft = LoadBigEndian32(data + at);
        const std::uint32_t cipherRight = LoadBigEndian32(data + at + 4);
        std::uint32_t left = cipherLeft;
        std::uint32_t right = cipherRight;
        Cipher.DecryptWords(left, right);
        StoreBigEndian32(left ^ chainLeft, data + at);
        StoreBigEndian32(right ^ chainRight, data + at + 4);
        chainLeft = cipherLeft;
        chainRight = cipherRight;
    }
    StoreBigEndian32(chainLeft, ChainValue.data());
    StoreBigEndian32(chainRight, ChainValue.data() + 4);
    if (whole < n)
        ApplyTail(ChainValue, data + whole, data + whole, n - whole);
}

void TBlowfishCipher::Reset()
{
    ChainValue = InitVector;
}

void TBlowfishCipher::Clear()
{
    Cipher.Clear();
    SecureFill(InitVector.data(), InitVector.size(), 0xFF);
    SecureFill(ChainValue.data(), ChainValue.size(), 0xFF);
    Keyed = false;
}

} // namespace statlume
