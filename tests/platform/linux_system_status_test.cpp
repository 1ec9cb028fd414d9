#include <fstream>
#include <sstream>
#include <string>

#include "platform/linux/linux_system_status.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace statlume::platform {
namespace {

std::uint64_t MemInfoKB(const std::string& key)
{
    std::ifstream file("/proc/meminfo");
    std::string line;
    while (std::getline(file, line)) {
        if (line.rfind(key + ":", 0) == 0)
            return std::stoull(line.substr(key.size() + 1));
    }
    return 0;
}

TEST(TLinuxSystemStatus, ReadsMemInfoFixture)
{
    TLinuxSystemStatus status(STATLUME_TEST_DATA "/meminfo_8g.txt");
    const auto memory = status.ReadMemory();
    ASSERT_TRUE(memory);
    EXPECT_EQ(memory->PhysTotal, 8048492ull * 1024);
    EXPECT_EQ(memory->PhysAvail, 5242880ull * 1024);
    EXPECT_EQ(memory->PageTotal, 2097148ull * 1024);
    EXPECT_EQ(memory->PageFree, 2097000ull * 1024);
    // A second read goes through the same open file and gives the same figures.
    EXPECT_EQ(status.ReadMemory()->PhysTotal, memory->PhysTotal);
}

TEST(TLinuxSystemStatus, ReadsMemInfoOfAKernelWithoutMemAvailable)
{
    TLinuxSystemStatus status(STATLUME_TEST_DATA "/meminfo_old_kernel.txt");
    const auto memory = status.ReadMemory();
    ASSERT_TRUE(memory);
    EXPECT_EQ(memory->PhysTotal, 515000ull * 1024);
    EXPECT_EQ(memory->PhysAvail, 100000ull * 1024);
    EXPECT_EQ(memory->PageTotal, 0u);
}

TEST(TLinuxSystemStatus, ParsesMemInfoVariants)
{
    struct TCase
    {
        const char* name;
        const char* text;
        std::optional<std::uint64_t> total;
        std::uint64_t avail;
        std::uint64_t pageTotal;
    };
    const TCase cases[] = {
        {"no MemAvailable uses MemFree", "MemTotal: 100 kB\nMemFree: 40 kB\n", 102400, 40960, 0},
        {"no MemTotal", "MemFree: 40 kB\nSwapTotal: 1 kB\n", std::nullopt, 0, 0},
        {"garbage value", "MemTotal: lots kB\n", std::nullopt, 0, 0},
        {"prefix key not taken", "MemTotalX: 7 kB\nMemTotal: 9 kB\n", 9216, 0, 0},
        {"no final line break", "SwapTotal: 2 kB\nMemTotal: 3 kB", 3072, 0, 2048},
        {"above 4 GiB", "MemTotal: 67108864 kB\nMemAvailable: 33554432 kB\n", 68719476736ull,
         34359738368ull, 0},
        {"empty", "", std::nullopt, 0, 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        const auto memory = ParseMemInfo(c.text);
        ASSERT_EQ(memory.has_value(), c.total.has_value());
        if (!memory)
            continue;
        EXPECT_EQ(memory->PhysTotal, *c.total);
        EXPECT_EQ(memory->PhysAvail, c.avail);
        EXPECT_EQ(memory->PageTotal, c.pageTotal);
    }
}

TEST(TLinuxSystemStatus, MissingMemInfoReadsAsNothing)
{
    TLinuxSystemStatus status(STATLUME_TEST_DATA "/no_such_meminfo");
    EXPECT_FALSE(status.ReadMemory());
}

TEST(TLinuxSystemStatus, RealMachineMemory)
{
    TLinuxSystemStatus status;
    const auto memory = status.ReadMemory();
    ASSERT_TRUE(memory);
    EXPECT_EQ(memory->PhysTotal, MemInfoKB("MemTotal") * 1024);
    EXPECT_GT(memory->PhysAvail, 0u);
    EXPECT_LE(memory->PhysAvail, memory->PhysTotal);
    EXPECT_LE(memory->PageFree, memory->PageTotal);
}

TEST(TLinuxSystemStatus, RealMachineNames)
{
    TLinuxSystemStatus status;
    char host[256] = {};
    ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
    EXPECT_EQ(status.ComputerName(), host);
    EXPECT_FALSE(status.UserName().empty());
}

TEST(TLinuxSystemStatus, RealMachineAddressesPutLoopbackLast)
{
    TLinuxSystemStatus status;
    const auto addresses = status.IPv4Addresses();
    EXPECT_LE(addresses.size(), 4u);
    bool seenLoopback = false;
    for (const TIPv4Address& address : addresses) {
        const bool loopback = address[0] == 127;
        EXPECT_TRUE(loopback || !seenLoopback) << "an outer address after a loopback one";
        seenLoopback = seenLoopback || loopback;
    }
}

TEST(TLinuxSystemStatus, RealMachineAddressesMatchGetIfAddrs)
{
    TLinuxSystemStatus status;
    // Twice: the second listing reuses the socket and the request buffer.
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        EXPECT_EQ(status.IPv4Addresses(), TLinuxSystemStatus::IPv4AddressesByGetIfAddrs());
    }
}

TEST(TLinuxSystemStatus, DiskSpace)
{
    TLinuxSystemStatus status;
    const TDiskSpace root = status.DiskSpace("/");
    EXPECT_GT(root.TotalBytes, 0u);
    EXPECT_LE(root.FreeBytes, root.TotalBytes);
    const TDiskSpace missing = status.DiskSpace("/no/such/mount/point");
    EXPECT_EQ(missing.FreeBytes, 0u);
    EXPECT_EQ(missing.TotalBytes, 0u);
    EXPECT_EQ(status.DiskSpace("").TotalBytes, 0u);
}

TEST(TLinuxSystemStatus, DayCountOfKnownDates)
{
    struct TCase
    {
        const char* name;
        int y, mo, d, h, mi, s, ms;
        double expected;
    };
    const TCase cases[] = {
        {"epoch", 1899, 12, 30, 0, 0, 0, 0, 0.0},
        {"day before epoch", 1899, 12, 29, 0, 0, 0, 0, -1.0},
        {"1900-03-01 after the short February", 1900, 3, 1, 0, 0, 0, 0, 61.0},
        {"2000-01-01", 2000, 1, 1, 0, 0, 0, 0, 36526.0},
        {"2003-03-05 14:07", 2003, 3, 5, 14, 7, 0, 0, 37685.0 + (14 * 60 + 7) / 1440.0},
        {"noon and a half second", 2024, 2, 29, 12, 0, 0, 500, 45351.5 + 0.5 / 86400.0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_NEAR(ToDayCount(c.y, c.mo, c.d, c.h, c.mi, c.s, c.ms), c.expected, 1e-9);
    }
}

TEST(TLinuxSystemStatus, LocalTimeFollowsTheClock)
{
    TLinuxSystemStatus status;
    const double now = status.LocalTime();
    const double unixDays = static_cast<double>(time(nullptr)) / 86400.0 + 25569.0;
    // Within a day of UTC whatever the time zone.
    EXPECT_NEAR(now, unixDays, 1.0);
}

} // namespace
} // namespace statlume::platform
