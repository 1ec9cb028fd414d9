#include <algorithm>
#include <vector>

#include "record/raw_data.h"
#include "remote/blowfish_cipher.h"
#include "remote/cipher_error.h"
#include "remote/sha1.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

using TBytes = std::vector<std::uint8_t>;
using TBlock = TBlowfishCipher::TBlock;

TBytes Record(std::uint8_t seed)
{
    TBytes record(RawDataSize);
    record[0] = 0x54;
    for (std::size_t i = 1; i < record.size(); ++i)
        record[i] = static_cast<std::uint8_t>(seed + i * 31);
    return record;
}

TBytes Encrypted(TBlowfishCipher& cipher, const TBytes& plain)
{
    TBytes out(plain.size());
    cipher.Encrypt(plain.data(), out.data(), plain.size());
    return out;
}

TBytes Decrypted(TBlowfishCipher& cipher, TBytes bytes)
{
    cipher.Decrypt(bytes.data(), bytes.size());
    return bytes;
}

TBlowfish KeyedFromPassword(std::string_view password)
{
    std::array<std::uint8_t, 32> keyBlock{};
    keyBlock.fill(0xFF);
    const auto digest = TSha1::Digest(password);
    std::copy(digest.begin(), digest.end(), keyBlock.begin());
    TBlowfish blowfish;
    blowfish.SetKey(keyBlock.data(), keyBlock.size());
    return blowfish;
}

TBlock Xor(const TBlock& a, const std::uint8_t* b)
{
    TBlock out{};
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = a[i] ^ b[i];
    return out;
}

// The key block is the digest of exactly the three bytes, then twelve 0xFF; IV = E(0xFF x 8).
TEST(BlowfishCipher, KeySetUpFromThreeCharacterPassword)
{
    const TBlowfish reference = KeyedFromPassword("pwd");
    TBlock iv{};
    iv.fill(0xFF);
    reference.EncryptBlock(iv.data());

    TBlowfishCipher cipher;
    cipher.SetKeyFromPassword("pwd");
    EXPECT_TRUE(cipher.Initialized());
    EXPECT_EQ(cipher.IV(), iv);
    EXPECT_EQ(cipher.CV(), iv);

    // Chained encryption of two blocks, recomputed block by block from the IV.
    const TBytes plain = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    const TBytes out = Encrypted(cipher, plain);
    TBlock first = Xor(iv, plain.data());
    reference.EncryptBlock(first.data());
    TBlock second = Xor(first, plain.data() + 8);
    reference.EncryptBlock(second.data());
    EXPECT_TRUE(std::equal(first.begin(), first.end(), out.begin()));
    EXPECT_TRUE(std::equal(second.begin(), second.end(), out.begin() + 8));
    EXPECT_EQ(cipher.CV(), second);
}

// Bytes 96..99 are XORed with E(CV) where CV is the cipher text of bytes 88..95, which stays.
TEST(BlowfishCipher, TailOfHundredByteChunk)
{
    TBytes plain(100);
    for (std::size_t i = 0; i < plain.size(); ++i)
        plain[i] = static_cast<std::uint8_t>(i * 13);
    TBlowfishCipher server;
    server.SetKeyFromPassword("pwd");
    const TBytes wire = Encrypted(server, plain);

    TBlock lastWhole{};
    std::copy(wire.begin() + 88, wire.begin() + 96, lastWhole.begin());
    EXPECT_EQ(server.CV(), lastWhole);
    TBlock key = lastWhole;
    KeyedFromPassword("pwd").EncryptBlock(key.data());
    for (std::size_t i = 96; i < 100; ++i)
        EXPECT_EQ(wire[i], plain[i] ^ key[i - 96]) << "byte " << i;

    TBlowfishCipher client;
    client.SetKeyFromPassword("pwd");
    EXPECT_EQ(Decrypted(client, wire), plain);
    EXPECT_EQ(client.CV(), lastWhole);
}

TEST(BlowfishCipher, EncryptInPlaceMatchesSeparateBuffer)
{
    TBlowfishCipher separate;
    TBlowfishCipher inPlace;
    separate.SetKeyFromPassword("secret");
    inPlace.SetKeyFromPassword("secret");
    for (std::size_t n : {3u, 8u, 272u, 101u}) {
        SCOPED_TRACE(n);
        TBytes buffer = Record(static_cast<std::uint8_t>(n));
        buffer.resize(n);
        const TBytes expected = Encrypted(separate, buffer);
        inPlace.Encrypt(buffer.data(), buffer.data(), buffer.size());
        EXPECT_EQ(buffer, expected);
    }
}

// Server and client keyed alike and started together stay in step across replies.
TEST(BlowfishCipher, RecordsDecryptExactlyFromTheFirst)
{
    TBlowfishCipher server;
    TBlowfishCipher client;
    server.SetKeyFromPassword("pwd");
    client.SetKeyFromPassword("pwd");
    for (std::uint8_t seed = 0; seed < 5; ++seed) {
        SCOPED_TRACE(static_cast<int>(seed));
        const TBytes record = Record(seed);
        const TBytes wire = Encrypted(server, record);
        EXPECT_NE(wire, record);
        EXPECT_EQ(Decrypted(client, wire), record);
    }
}

// A client that missed a reply has a stale CV: only the first block of the next record is lost.
TEST(BlowfishCipher, MismatchedChainSpoilsOnlyFirstBlock)
{
    TBlowfishCipher server;
    server.SetKeyFromPassword("pwd");
    Encrypted(server, Record(1));

    TBlowfishCipher lateClient;
    lateClient.SetKeyFromPassword("pwd");
    const TBytes second = Record(2);
    const TBytes got = Decrypted(lateClient, Encrypted(server, second));
    EXPECT_FALSE(std::equal(got.begin(), got.begin() + 8, second.begin()));
    EXPECT_TRUE(std::equal(got.begin() + 8, got.end(), second.begin() + 8));

    const TBytes third = Record(3);
    EXPECT_EQ(Decrypted(lateClient, Encrypted(server, third)), third);
}

// One server chain shared by two clients served in turn: every reply after the first arrives
// with the other client's chain.
TEST(BlowfishCipher, TwoClientsServedInTurn)
{
    TBlowfishCipher server;
    server.SetKeyFromPassword("pwd");
    TBlowfishCipher clients[2];
    for (auto& client : clients)
        client.SetKeyFromPassword("pwd");

    for (int reply = 0; reply < 6; ++reply) {
        SCOPED_TRACE(reply);
        const TBytes record = Record(static_cast<std::uint8_t>(reply));
        const TBytes got = Decrypted(clients[reply % 2], Encrypted(server, record));
        const bool firstBlockExact = std::equal(got.begin(), got.begin() + 8, record.begin());
        EXPECT_EQ(firstBlockExact, reply == 0);
        EXPECT_TRUE(std::equal(got.begin() + 8, got.end(), record.begin() + 8));
    }
}

TEST(BlowfishCipher, RekeyingRestartsTheChain)
{
    TBlowfishCipher fresh;
    fresh.SetKeyFromPassword("second");
    const TBytes record = Record(9);
    const TBytes expected = Encrypted(fresh, record);

    TBlowfishCipher cipher;
    cipher.SetKeyFromPassword("first");
    const TBlock firstIv = cipher.IV();
    Encrypted(cipher, Record(1));
    cipher.SetKeyFromPassword("second");
    EXPECT_NE(cipher.IV(), firstIv);
    EXPECT_EQ(cipher.CV(), cipher.IV());
    EXPECT_EQ(Encrypted(cipher, record), expected);

    Encrypted(cipher, record);
    cipher.Reset();
    EXPECT_EQ(cipher.CV(), cipher.IV());
}

TEST(BlowfishCipher, UseBeforeKeySetUpThrows)
{
    TBytes buffer(16, 0);
    TBlowfishCipher cipher;
    EXPECT_FALSE(cipher.Initialized());
    const auto expectNotInitialized = [&](auto operation) {
        try {
            operation();
            ADD_FAILURE() << "no error";
        } catch (const TCipherError& error) {
            EXPECT_STREQ(error.what(), "Blowfish: Not initialized");
        }
    };
    expectNotInitialized([&] { cipher.Encrypt(buffer.data(), buffer.data(), buffer.size()); });
    expectNotInitialized([&] { cipher.Decrypt(buffer.data(), buffer.size()); });

    cipher.SetKeyFromPassword("pwd");
    cipher.Clear();
    EXPECT_FALSE(cipher.Initialized());
    TBlock ones{};
    ones.fill(0xFF);
    EXPECT_EQ(cipher.IV(), ones);
    EXPECT_EQ(cipher.CV(), ones);
    expectNotInitialized([&] { cipher.Decrypt(buffer.data(), buffer.size()); });
}

} // namespace
} // namespace statlume
