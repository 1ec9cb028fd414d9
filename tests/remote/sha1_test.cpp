#include <string>

#include "remote/cipher_error.h"
#include "remote/sha1.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

std::string Hex(const std::array<std::uint8_t, TSha1::DigestSize>& digest)
{
    static constexpr char Digits[] = "0123456789abcdef";
    std::string text;
    for (const auto byte : digest) {
        text += Digits[byte >> 4];
        text += Digits[byte & 0xF];
    }
    return text;
}

// FIPS 180 example messages.
TEST(Sha1, PublishedVectors)
{
    struct TCase
    {
        const char* name;
        std::string message;
        const char* digest;
    };
    const TCase cases[] = {
        {"empty", "", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
        {"abc", "abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
        {"448 bits", "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
        {"million a", std::string(1000000, 'a'), "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
    };
    for (const auto& [name, message, digest] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Hex(TSha1::Digest(message)), digest);
    }
}

// Pieces that straddle the 64-byte block and the 56-byte padding limit in every way.
TEST(Sha1, PiecewiseUpdateMatchesOneShot)
{
    std::string message;
    for (int i = 0; i < 300; ++i)
        message += static_cast<char>(i * 7 + 3);
    for (std::size_t length : {55u, 56u, 63u, 64u, 65u, 119u, 120u, 300u}) {
        for (std::size_t piece : {1u, 7u, 63u, 64u, 100u}) {
            SCOPED_TRACE(testing::Message() << "length " << length << " piece " << piece);
            const std::string part = message.substr(0, length);
            TSha1 sha;
            sha.Init();
            for (std::size_t at = 0; at < part.size(); at += piece) {
                const std::size_t n = std::min(piece, part.size() - at);
                sha.Update(reinterpret_cast<const std::uint8_t*>(part.data()) + at, n);
            }
            EXPECT_EQ(sha.Final(), TSha1::Digest(part));
        }
    }
}

TEST(Sha1, UseWithoutInitThrows)
{
    const std::uint8_t byte = 0;
    TSha1 fresh;
    try {
        fresh.Update(&byte, 1);
        FAIL() << "no error";
    } catch (const TCipherError& error) {
        EXPECT_STREQ(error.what(), "SHA1: Not initialized");
    }
    EXPECT_THROW(fresh.Final(), TCipherError);

    // A finished digest needs a new Init.
    TSha1 used;
    used.Init();
    used.Final();
    EXPECT_THROW(used.Update(&byte, 1), TCipherError);
    used.Init();
    EXPECT_EQ(Hex(used.Final()), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
}

} // namespace
} // namespace statlume
