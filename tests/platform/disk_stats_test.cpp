#include <string>
#include <vector>

#include "platform/linux/disk_stats.h"

#include <gtest/gtest.h>

namespace statlume::platform {
namespace {

constexpr std::int64_t DiskSecond = 1'000'000'000;

TEST(DiskStats, FixtureCountersAreBytesOf512ByteSectors)
{
    const auto disks = ReadDiskStats(STATLUME_TEST_DATA "/procfs_host");
    ASSERT_TRUE(disks.has_value());
    ASSERT_EQ(disks->size(), 9u);
    EXPECT_EQ((*disks)[0].Name, "loop0");
    EXPECT_EQ((*disks)[3].Name, "sda");
    EXPECT_EQ((*disks)[3].ReadBytes, 20000u * 512);
    EXPECT_EQ((*disks)[3].WrittenBytes, 10000u * 512);
    EXPECT_FALSE(ReadDiskStats("/nonexistent").has_value());
}

TEST(DiskStats, MalformedLinesAreSkipped)
{
    const auto disks = ParseDiskStats("8 0 sda 1 0 2 0 1 0 4\n"
                                      "8 1 sda1 1 0 x 0 1 0 4\n"
                                      "8 2\n"
                                      "8 3 sda3 1 0 99999999999999999999 0 1 0 4\n"
                                      "8 16 sdb 0 0 8 0 0 0 16 0 0 0 0\n");
    ASSERT_EQ(disks.size(), 2u);
    EXPECT_EQ(disks[0].Name, "sda");
    EXPECT_EQ(disks[1].WrittenBytes, 16u * 512);
}

TEST(DiskStats, RatesFromTwoSamples)
{
    struct TRow
    {
        const char* name;
        std::uint64_t read0, written0, read1, written1;
        double readRate, writtenRate;
    };
    const TRow rows[] = {
        {"steady", 1000, 0, 3000, 1024, 1000, 512},
        {"counter went back (device replaced)", 5000, 5000, 100, 6000, 0, 500},
        {"near the 64-bit end", ~0ull - 2048, 0, ~0ull, 0, 1024, 0},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.name);
        TDiskRates rates;
        EXPECT_TRUE(rates.Update({{"sda", row.read0, row.written0}}, DiskSecond).empty());
        const auto now = rates.Update({{"sda", row.read1, row.written1}}, 3 * DiskSecond);
        ASSERT_EQ(now.size(), 1u);
        EXPECT_DOUBLE_EQ(now[0].ReadBytesPerSecond, row.readRate);
        EXPECT_DOUBLE_EQ(now[0].WrittenBytesPerSecond, row.writtenRate);
    }
}

TEST(DiskStats, VanishedDeviceStartsAgainAndSumTakesNamedOnes)
{
    TDiskRates rates;
    rates.Update({{"sda", 0, 0}, {"sda1", 0, 0}, {"sdb", 0, 0}}, DiskSecond);
    rates.Update({{"sda", 100, 0}, {"sda1", 100, 0}}, 2 * DiskSecond);
    // sdb was gone for a sample, so its return has nothing to compare with.
    const auto now =
        rates.Update({{"sda", 300, 0}, {"sda1", 300, 0}, {"sdb", 9000, 0}}, 3 * DiskSecond);
    ASSERT_EQ(now.size(), 2u);
    const TDiskRate sum = SumDiskRates(now, {"sda", "sdb"});
    EXPECT_DOUBLE_EQ(sum.ReadBytesPerSecond, 200);
}

} // namespace
} // namespace statlume::platform
