#include <algorithm>
#include <functional>
#include <limits>
#include <span>
#include <vector>

#include "record/raw_data_shell.h"
#include "record/record_check.h"
#include "remote/blowfish_cipher.h"
#include "remote/request_detection.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

using TBytes = std::vector<std::uint8_t>;

// A record that passes the record check and whose other bytes never hold the marker, so
// resynchronisation is predictable.
TBytes SeededRecord(std::uint8_t seed)
{
    TRawData data;
    data.Marker = 'T';
    data.UptimeSecs = 1000 + seed;
    data.ProcessCount = seed;
    data.ProcUsage[0] = seed;
    data.NetRead[0] = 2.0f * seed;
    data.ComputerName.Assign("peer");
    const auto encoded = EncodeRawData(data);
    TBytes record(encoded.begin(), encoded.end());
    EXPECT_EQ(std::count(record.begin() + 1, record.end(), 0x54), 0) << "seed " << int{seed};
    return record;
}

TBytes Join(std::initializer_list<TBytes> parts)
{
    TBytes joined;
    for (const auto& part : parts)
        joined.insert(joined.end(), part.begin(), part.end());
    return joined;
}

TBytes Slice(const TBytes& bytes, std::size_t from, std::size_t count)
{
    return TBytes(bytes.begin() + from, bytes.begin() + from + count);
}

// Records each OnData with the record it saw.
struct TReceiver
{
    TReceiver()
    {
        Shell.OnData = [this] {
            const auto encoded = EncodeRawData(Shell.Data);
            Seen.emplace_back(encoded.begin(), encoded.end());
        };
    }

    void Feed(const TBytes& read) { Shell.Feed(read.data(), read.size()); }
    TBytes DataBytes() const
    {
        const auto encoded = EncodeRawData(Shell.Data);
        return TBytes(encoded.begin(), encoded.end());
    }

    TRawDataShell Shell;
    std::vector<TBytes> Seen;
};

TEST(Feed, TwoRecordsInOneRead)
{
    TReceiver receiver;
    receiver.Feed(Join({SeededRecord(1), SeededRecord(2)}));
    ASSERT_EQ(receiver.Seen.size(), 2u);
    EXPECT_EQ(receiver.Seen[0], SeededRecord(1));
    EXPECT_EQ(receiver.Seen[1], SeededRecord(2));
    EXPECT_EQ(receiver.DataBytes(), SeededRecord(2));
    EXPECT_TRUE(receiver.Shell.Pending.empty());
}

TEST(Feed, RecordSplitOverThreeReads)
{
    const TBytes record = SeededRecord(3);
    TReceiver receiver;
    receiver.Feed(Slice(record, 0, 100));
    receiver.Feed(Slice(record, 100, 100));
    EXPECT_TRUE(receiver.Seen.empty());
    EXPECT_EQ(receiver.Shell.Pending.size(), 200u);
    receiver.Feed(Slice(record, 200, 72));
    ASSERT_EQ(receiver.Seen.size(), 1u);
    EXPECT_EQ(receiver.Seen[0], record);
}

TEST(Feed, ByteByByteEqualsOneRead)
{
    const TBytes stream = Join({SeededRecord(1), SeededRecord(2), Slice(SeededRecord(3), 0, 50)});
    TReceiver receiver;
    for (const auto byte : stream)
        receiver.Feed({byte});
    ASSERT_EQ(receiver.Seen.size(), 2u);
    EXPECT_EQ(receiver.Seen[1], SeededRecord(2));
    EXPECT_EQ(receiver.Shell.Pending, Slice(SeededRecord(3), 0, 50));
}

TEST(Feed, ResynchronisesOnMarkerAfterStrayBytes)
{
    TReceiver receiver;
    receiver.Feed(Join({{1, 2, 3, 4, 5}, SeededRecord(4)}));
    ASSERT_EQ(receiver.Seen.size(), 1u);
    EXPECT_EQ(receiver.Seen[0], SeededRecord(4));
    EXPECT_TRUE(receiver.Shell.Pending.empty());
}

// Decrypted noise or a stream out of line: the record is dropped like one with a wrong marker,
// never raised and never stored, and the next good record is taken.
TEST(Feed, RecordsFailingTheMarkerOrTheCheckAreDropped)
{
    struct TCase
    {
        const char* name;
        std::function<void(TRawData&)> spoil;
    };
    const TCase cases[] = {
        {"marker", [](TRawData& d) { d.Marker = 'X'; }},
        {"name length 16", [](TRawData& d) { d.ComputerName.Length = 16; }},
        {"drive letter 1", [](TRawData& d) { d.Drives[3].Letter = '1'; }},
        {"processor figure NaN",
         [](TRawData& d) { d.ProcUsage[2] = std::numeric_limits<float>::quiet_NaN(); }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        const TBytes good = SeededRecord(5);
        TRawData data =
            DecodeRawData(std::span<const std::uint8_t, RawDataSize>(good.data(), RawDataSize));
        c.spoil(data);
        const auto encoded = EncodeRawData(data);
        const TBytes bad(encoded.begin(), encoded.end());
        TReceiver receiver;
        receiver.Feed(SeededRecord(4));
        const TFeedResult dropped = receiver.Shell.Feed(bad.data(), bad.size());
        EXPECT_EQ(dropped.Accepted, 0u);
        EXPECT_EQ(dropped.Rejected, 1u);
        EXPECT_EQ(receiver.Seen.size(), 1u);
        EXPECT_EQ(receiver.DataBytes(), SeededRecord(4));
        EXPECT_TRUE(receiver.Shell.Pending.empty());

        // The run of drops after the last good record is what tells a wrong password.
        const TBytes read = Join({SeededRecord(6), bad});
        const TFeedResult mixed = receiver.Shell.Feed(read.data(), read.size());
        EXPECT_EQ(mixed.Accepted, 1u);
        EXPECT_EQ(mixed.RejectedAtEnd, 1u);
        EXPECT_EQ(receiver.DataBytes(), SeededRecord(6));
    }
}

// A wrong password: every reply decrypts into noise, and the framing tries a window at each
// 0x54 byte of it. Not one of more than 10,000 such windows may pass for a record.
TEST(Feed, NoiseFromAWrongKeyIsNeverAccepted)
{
    TBlowfishCipher server;
    server.SetKeyFromPassword("right");
    TBlowfishCipher client;
    client.SetKeyFromPassword("wrong");
    const TBytes record = SeededRecord(1);
    TBytes stream(11'000 * RawDataSize);
    for (std::size_t at = 0; at < stream.size(); at += RawDataSize)
        server.Encrypt(record.data(), stream.data() + at, RawDataSize);
    client.Decrypt(stream.data(), stream.size());

    std::size_t windows = 0;
    std::size_t passed = 0;
    for (std::size_t at = 0; at + RawDataSize <= stream.size(); ++at) {
        if (stream[at] != 0x54)
            continue;
        ++windows;
        const auto window =
            std::span<const std::uint8_t, RawDataSize>(stream.data() + at, RawDataSize);
        passed += PassesRecordCheck(DecodeRawData(window)) ? 1 : 0;
    }
    EXPECT_GT(windows, 10'000u);
    EXPECT_EQ(passed, 0u);

    TReceiver receiver;
    for (std::size_t at = 0; at < stream.size(); at += ClientReadSize)
        receiver.Feed(Slice(stream, at, std::min(ClientReadSize, stream.size() - at)));
    EXPECT_TRUE(receiver.Seen.empty());
}

// A dropped record begun in an earlier read: resume at this read's first marker, even one inside
// the dropped record.
TEST(Feed, ResyncReusesBytesOfRecordBegunEarlier)
{
    TBytes bad = SeededRecord(7);
    bad[0] = 'X';
    TReceiver receiver;
    receiver.Feed(Slice(bad, 0, 250));
    const TBytes read = Join({Slice(bad, 250, 10), SeededRecord(8)});
    receiver.Feed(read);
    ASSERT_EQ(receiver.Seen.size(), 1u);
    EXPECT_EQ(receiver.Seen[0], SeededRecord(8));
}

TEST(Feed, NoMarkerDropsTheRest)
{
    TReceiver receiver;
    receiver.Feed(TBytes(600, 0x20));
    EXPECT_TRUE(receiver.Seen.empty());
    EXPECT_TRUE(receiver.Shell.Pending.empty());
    receiver.Feed(SeededRecord(9));
    EXPECT_EQ(receiver.Seen.size(), 1u);
}

// After a reconnection the leftover Pending is completed by the new stream; the record after
// that mixed one is out of line and the receiver finds the next marker.
TEST(Feed, LeftoversOfBrokenConnection)
{
    TReceiver receiver;
    receiver.Feed(Slice(SeededRecord(1), 0, 100));
    receiver.Feed(Join({SeededRecord(2), SeededRecord(3)}));
    ASSERT_EQ(receiver.Seen.size(), 2u);
    EXPECT_EQ(receiver.Seen[0],
              Join({Slice(SeededRecord(1), 0, 100), Slice(SeededRecord(2), 0, 172)}));
    EXPECT_EQ(receiver.Seen[1], SeededRecord(3));
    EXPECT_TRUE(receiver.Shell.Pending.empty());
}

TEST(Feed, WithoutHandlerAndEmptyReads)
{
    TRawDataShell shell;
    const TBytes record = SeededRecord(1);
    shell.Feed(nullptr, 0);
    shell.Feed(record.data(), 0);
    shell.Feed(record.data(), record.size());
    EXPECT_EQ(shell.Data.Marker, 'T');
    EXPECT_TRUE(shell.Pending.empty());
}

} // namespace
} // namespace statlume
