#include "remote/blowfish.h"

#include <string>

#include "remote/blowfish_tables.h"
#include "remote/cipher_error.h"
#include "remote/secure_fill.h"

namespace statlume {

TBlowfish::TBlowfish()
    : P(BlowfishInitP)
    , S(BlowfishInitS)
{
}

void TBlowfish::SetKey(const std::uint8_t* key, std::size_t size)
{
    if (size < MinKeySize || size > MaxKeySize || key == nullptr)
        throw TCipherError("Blowfish: Invalid key size - " + std::to_string(size * 8));

    P = BlowfishInitP;
    S = BlowfishInitS;
    std::size_t next = 0;
    for (auto& word : P) {
        std::uint32_t keyWord = 0;
        for (int i = 0; i < 4; ++i) {
            keyWord = (keyWord << 8) | key[next];
            next = (next + 1) % size;
        }
        word ^= keyWord;
    }

    std::uint32_t left = 0;
    std::uint32_t right = 0;
    for (std::size_t i = 0; i < P.size(); i += 2) {
        EncryptWords(left, right);
        P[i] = left;
        P[i + 1] = right;
    }
    for (auto& box : S) {
        for (std::size_t i = 0; i < box.size(); i += 2) {
            EncryptWords(left, right);
            box[i] = left;
            box[i + 1] = right;
        }
    }
}

// The sixteen rounds are written out: this is the hot loop of every encrypted reply.
void TBlowfish::EncryptWords(std::uint32_t& left, std::uint32_t& right) const
{
    std::uint32_t l = left ^ P[0];
    std::uint32_t r = right;
    r ^= F(l) ^ P[1];
    l ^= F(r) ^ P[2];
    r ^= F(l) ^ P[3];
    l ^= F(r) ^ P[4];
    r ^= F(l) ^ P[5];
    l ^= F(r) ^ P[6];
    r ^= F(l) ^ P[7];
    l ^= F(r) ^ P[8];
    r ^= F(l) ^ P[9];
    l ^= F(r) ^ P[10];
    r ^= F(l) ^ P[11];
    l ^= F(r) ^ P[12];
    r ^= F(l) ^ P[13];
    l ^= F(r) ^ P[14];
    r ^= F(l) ^ P[15];
    l ^= F(r) ^ P[16];
    left = r ^ P[17];
    right = l;
}

void TBlowfish::DecryptWords(std::uint32_t& left, std::uint32_t& right) const
{
    std::uint32_t l = left ^ P[17];
    std::uint32_t r = right;
    r ^= F(l) ^ P[16];
    l ^= F(r) ^ P[15];
    r ^= F(l) ^ P[14];
    l ^= F(r) ^ P[13];
    r ^= F(l) ^ P[12];
    l ^= F(r) ^ P[11];
    r ^= F(l) ^ P[10];
    l ^= F(r) ^ P[9];
    r ^= F(l) ^ P[8];
    l ^= F(r) ^ P[7];
    r ^= F(l) ^ P[6];
    l ^= F(r) ^ P[5];
    r ^= F(l) ^ P[4];
    l ^= F(r) ^ P[3];
    r ^= F(l) ^ P[2];
    l ^= F(r) ^ P[1];
    left = r ^ P[0];
    right = l;
}

void TBlowfish::EncryptBlock(std::uint8_t block[8]) const
{
    std::uint32_t left = LoadBigEndian32(block);
    std::uint32_t right = LoadBigEndian32(block + 4);
    EncryptWords(left, right);
    StoreBigEndian32(left, block);
    StoreBigEndian32(right, block + 4);
}

void TBlowfish::DecryptBlock(std::uint8_t block[8]) const
{
    std::uint32_t left = LoadBigEndian32(block);
    std::uint32_t right = LoadBigEndian32(block + 4);
    DecryptWords(left, right);
    StoreBigEndian32(left, block);
    StoreBigEndian32(right, block + 4);
}

void TBlowfish::Clear()
{
    SecureFill(P.data(), sizeof(P), 0xFF);
    SecureFill(S.data(), sizeof(S), 0xFF);
}

} // namespace statlume
