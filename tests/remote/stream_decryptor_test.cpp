#include <string>
#include <vector>

#include "record/raw_data_shell.h"
#include "remote/stream_decryptor.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

using TBytes = std::vector<std::uint8_t>;

// Records that pass the record check, each with its own uptime and name.
TBytes Records(std::size_t count)
{
    TBytes stream;
    for (std::size_t r = 0; r < count; ++r) {
        TRawData data;
        data.Marker = 'T';
        data.UptimeSecs = static_cast<std::int64_t>(r * 3 + 1);
        data.ComputerName.Assign("peer-" + std::to_string(r));
        const auto bytes = EncodeRawData(data);
        stream.insert(stream.end(), bytes.begin(), bytes.end());
    }
    return stream;
}

// Reads cut anywhere still give back the sender's plain stream, record for record.
TEST(StreamDecryptor, ReadsCutAnywhereStayInLine)
{
    struct TCase
    {
        const char* name;
        std::size_t readSize;
    };
    const TCase cases[] = {
        {"one byte", 1}, {"seven", 7}, {"hundred", 100}, {"record", 272}, {"client read", 1024},
    };
    const TBytes plain = Records(4);
    for (const auto& [name, readSize] : cases) {
        SCOPED_TRACE(name);
        TBlowfishCipher server;
        TBlowfishCipher client;
        server.SetKeyFromPassword("pwd");
        client.SetKeyFromPassword("pwd");
        TBytes wire(plain.size());
        for (std::size_t at = 0; at < plain.size(); at += RawDataSize)
            server.Encrypt(plain.data() + at, wire.data() + at, RawDataSize);

        TStreamDecryptor decryptor;
        TRawDataShell shell;
        int records = 0;
        shell.OnData = [&] { ++records; };
        TBytes received;
        for (std::size_t at = 0; at < wire.size(); at += readSize) {
            const std::size_t n = std::min(readSize, wire.size() - at);
            const auto ready = decryptor.Decrypt(client, wire.data() + at, n);
            EXPECT_EQ(ready.size() % 8, 0u);
            received.insert(received.end(), ready.begin(), ready.end());
            shell.Feed(ready.data(), ready.size());
        }
        EXPECT_EQ(received, plain);
        EXPECT_EQ(records, 4);
        EXPECT_EQ(decryptor.HeldBack(), 0u);
    }
}

// Decrypting each read on its own with the tail rule loses the records after a 100-byte read.
TEST(StreamDecryptor, TailRuleAloneLosesRecordsOnUnalignedReads)
{
    const TBytes plain = Records(2);
    TBlowfishCipher server;
    TBlowfishCipher client;
    server.SetKeyFromPassword("pwd");
    client.SetKeyFromPassword("pwd");
    TBytes wire(plain.size());
    server.Encrypt(plain.data(), wire.data(), wire.size());

    TBytes first(wire.begin(), wire.begin() + 100);
    TBytes rest(wire.begin() + 100, wire.end());
    client.Decrypt(first.data(), first.size());
    client.Decrypt(rest.data(), rest.size());
    EXPECT_NE(TBytes(rest.begin() + 172, rest.end()), TBytes(plain.begin() + 272, plain.end()));
}

TEST(StreamDecryptor, ClearDropsHeldBytes)
{
    TBlowfishCipher cipher;
    cipher.SetKeyFromPassword("pwd");
    const TBytes bytes(13, 0x11);
    TStreamDecryptor decryptor;
    EXPECT_EQ(decryptor.Decrypt(cipher, bytes.data(), bytes.size()).size(), 8u);
    EXPECT_EQ(decryptor.HeldBack(), 5u);
    decryptor.Clear();
    EXPECT_EQ(decryptor.HeldBack(), 0u);
    EXPECT_EQ(decryptor.Decrypt(cipher, bytes.data(), 3).size(), 0u);
    EXPECT_EQ(decryptor.HeldBack(), 3u);
}

} // namespace
} // namespace statlume
