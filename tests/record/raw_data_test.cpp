#include "record/raw_data.h"
#include "record/raw_data_shell.h"
#include "record/record_check.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

TEST(RawData, FreshShellHoldsZeroBytes)
{
    const TRawDataShell shell;
    const TRawBytes bytes = EncodeRawData(shell.Data);
    for (std::uint8_t b : bytes)
        ASSERT_EQ(b, 0);
    EXPECT_EQ(shell.Data.Marker, 0);
    EXPECT_TRUE(shell.Pending.empty());
    EXPECT_FALSE(shell.OnData);
}

TEST(RawData, GoldenBytesAtWireOffsets)
{
    TRawData d;
    d.Marker = 'T';
    d.Drives[7].Letter = 'C';
    d.Drives[7].TotalMB = 1.0f; // 0x3F800000
    d.ProcUsage[0] = 2.0f;      // 0x40000000
    d.PageFreeBytes = 0x11223344;
    d.RAMTotalBytes = 0xAABBCCDD;
    d.UptimeSecs = -2;
    d.ThreadCount = 0x0102;
    d.ProcessCount = -1;
    d.MemoryHigh[3] = 0x7F;
    d.LocalTime = 1.0; // 0x3FF0000000000000
    d.IPAddrs[0][0] = 192;
    d.ComputerName.Assign("HOST");
    d.Temps[2] = 45;
    d.Fans[2] = 4500;

    const TRawBytes b = EncodeRawData(d);
    EXPECT_EQ(b[0], 'T');
    EXPECT_EQ(b[88], 'C'); // drive entry 8
    EXPECT_EQ(b[92 + 3], 0x3F);
    EXPECT_EQ(b[100 + 3], 0x40);
    EXPECT_EQ(b[160], 0x44);
    EXPECT_EQ(b[163], 0x11);
    EXPECT_EQ(b[172], 0xDD);
    EXPECT_EQ(b[176], 0xFE);
    EXPECT_EQ(b[183], 0xFF);
    EXPECT_EQ(b[184], 0x02);
    EXPECT_EQ(b[185], 0x01);
    EXPECT_EQ(b[186], 0xFF);
    EXPECT_EQ(b[191], 0x7F);
    EXPECT_EQ(b[199], 0x3F);
    EXPECT_EQ(b[198], 0xF0);
    EXPECT_EQ(b[200], 192);
    EXPECT_EQ(b[216], 4);
    EXPECT_EQ(b[217], 'H');
    EXPECT_EQ(b[252], 45);
    EXPECT_EQ(b[264], 0x94); // 4500 = 0x1194
    EXPECT_EQ(b[265], 0x11);

    const TRawData back = DecodeRawData(b);
    EXPECT_EQ(EncodeRawData(back), b);
    EXPECT_EQ(back.ComputerName.Text(), "HOST");
    EXPECT_EQ(back.Fans[2], 4500);
    EXPECT_EQ(back.UptimeSecs, -2);
    EXPECT_EQ(RecordCheckFailure(back), std::nullopt);
}

TEST(RawData, MemoryExtensionCarriesBitsAboveFourGiB)
{
    TRawData d;
    const std::uint64_t sixteenGiB = std::uint64_t{16} << 30;
    SetMemoryBytes(d, 1, 2, sixteenGiB - 5, sixteenGiB);
    EXPECT_EQ(RAMTotalBytes64(d), sixteenGiB);
    EXPECT_EQ(RAMFreeBytes64(d), sixteenGiB - 5);
    EXPECT_EQ(PageFreeBytes64(d), 1u);
    EXPECT_EQ(PageTotalBytes64(d), 2u);
    EXPECT_EQ(d.RAMTotalBytes, 0u); // a peer that ignores the extension reads the low bits
    EXPECT_EQ(d.MemoryHigh[3], 4);  // 2^34 bytes

    SetMemoryBytes(d, 0, 0, 0, ~std::uint64_t{0});
    EXPECT_EQ(RAMTotalBytes64(d), (std::uint64_t{1} << 40) - 1);
}

TEST(RawData, ShortStringNeverCutsInsideACharacter)
{
    TShortString s;
    s.Assign("abcdefghijklmn\xC3\xA9"); // 14 ASCII bytes then a two-byte character
    EXPECT_EQ(s.Text(), "abcdefghijklmn");
    s.Assign("exactly15bytes!");
    EXPECT_EQ(s.Text(), "exactly15bytes!");
    s.Length = 200; // malformed record
    EXPECT_EQ(s.Text().size(), 15u);
}

} // namespace
} // namespace statlume
