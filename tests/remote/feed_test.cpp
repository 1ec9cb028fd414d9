#include <vector>

#include "collect/raw_data_shell.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

using TBytes = std::vector<std::uint8_t>;

// A valid record whose other bytes never hold the marker, so resynchronisation is predictable.
TBytes Record(std::uint8_t seed)
{
    TBytes record(RawDataSize);
    record[0] = 0x54;
    for (std::size_t i = 1; i < record.size(); ++i)
        record[i] = static_cast<std::uint8_t>(0x55 + (seed * 11 + i * 7) % 0xAB);
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
    receiver.Feed(Join({Record(1), Record(2)}));
    ASSERT_EQ(receiver.Seen.size(), 2u);
    EXPECT_EQ(receiver.Seen[0], Record(1));
    EXPECT_EQ(receiver.Seen[1], Record(2));
    EXPECT_EQ(receiver.DataBytes(), Record(2));
    EXPECT_TRUE(receiver.Shell.Pending.empty());
}

TEST(Feed, RecordSplitOverThreeReads)
{
    const TBytes record = Record(3);
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
    const TBytes stream = Join({Record(1), Record(2), Slice(Record(3), 0, 50)});
    TReceiver receiver;
    for (const auto byte : stream)
        receiver.Feed({byte});
    ASSERT_EQ(receiver.Seen.size(), 2u);
    EXPECT_EQ(receiver.Seen[1], Record(2));
    EXPECT_EQ(receiver.Shell.Pending, Slice(Record(3), 0, 50));
}

TEST(Feed, ResynchronisesOnMarkerAfterStrayBytes)
{
    TReceiver receiver;
    receiver.Feed(Join({{1, 2, 3, 4, 5}, Record(4)}));
    ASSERT_EQ(receiver.Seen.size(), 1u);
    EXPECT_EQ(receiver.Seen[0], Record(4));
    EXPECT_TRUE(receiver.Shell.Pending.empty());
}

TEST(Feed, BadMarkerIsStoredButNotRaised)
{
    TBytes bad = Record(5);
    bad[0] = 'X';
    TReceiver receiver;
    receiver.Feed(bad);
    EXPECT_TRUE(receiver.Seen.empty());
    EXPECT_EQ(receiver.DataBytes(), bad);
    EXPECT_TRUE(receiver.Shell.Pending.empty());

    receiver.Feed(Record(6));
    ASSERT_EQ(receiver.Seen.size(), 1u);
    EXPECT_EQ(receiver.DataBytes(), Record(6));
}

// A dropped record begun in an earlier read: resume at this read's first marker, even one inside
// the dropped record.
TEST(Feed, ResyncReusesBytesOfRecordBegunEarlier)
{
    TBytes bad = Record(7);
    bad[0] = 'X';
    TReceiver receiver;
    receiver.Feed(Slice(bad, 0, 250));
    const TBytes read = Join({Slice(bad, 250, 10), Record(8)});
    receiver.Feed(read);
    ASSERT_EQ(receiver.Seen.size(), 1u);
    EXPECT_EQ(receiver.Seen[0], Record(8));
}

TEST(Feed, NoMarkerDropsTheRest)
{
    TReceiver receiver;
    receiver.Feed(TBytes(600, 0x20));
    EXPECT_TRUE(receiver.Seen.empty());
    EXPECT_TRUE(receiver.Shell.Pending.empty());
    receiver.Feed(Record(9));
    EXPECT_EQ(receiver.Seen.size(), 1u);
}

// After a reconnection the leftover Pending is completed by the new stream; the record after
// that mixed one is out of line and the receiver finds the next marker.
TEST(Feed, LeftoversOfBrokenConnection)
{
    TReceiver receiver;
    receiver.Feed(Slice(Record(1), 0, 100));
    receiver.Feed(Join({Record(2), Record(3)}));
    ASSERT_EQ(receiver.Seen.size(), 2u);
    EXPECT_EQ(receiver.Seen[0], Join({Slice(Record(1), 0, 100), Slice(Record(2), 0, 172)}));
    EXPECT_EQ(receiver.Seen[1], Record(3));
    EXPECT_TRUE(receiver.Shell.Pending.empty());
}

TEST(Feed, WithoutHandlerAndEmptyReads)
{
    TRawDataShell shell;
    const TBytes record = Record(1);
    shell.Feed(nullptr, 0);
    shell.Feed(record.data(), 0);
    shell.Feed(record.data(), record.size());
    EXPECT_EQ(shell.Data.Marker, 'T');
    EXPECT_TRUE(shell.Pending.empty());
}

} // namespace
} // namespace statlume
