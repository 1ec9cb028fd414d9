#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <string>

#include "sensors/hwmon_scan.h"
#include "sensors/test_process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace statlume {
namespace {

namespace fs = std::filesystem;
using statlume::testing::TTempFolder;

void WriteFile(const fs::path& file, const std::string& text)
{
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text;
}

TEST(HwmonScan, TakesTheFirstThreeInputsInNumberOrder)
{
    const auto readings = ScanHwmon(fs::path(STATLUME_TEST_DATA) / "hwmon");
    // hwmon0 temp1, then hwmon1 temp2 before temp10; hwmon2's temperature is fourth.
    EXPECT_EQ(readings.Temps, (std::array<std::int32_t, 3>{28, 45, 61}));
    // hwmon2 before hwmon10, whose fans live in its device folder.
    EXPECT_EQ(readings.Fans, (std::array<std::int32_t, 3>{1200, 0, 4500}));
}

TEST(HwmonScan, MissingRootGivesZeros)
{
    const auto readings = ScanHwmon("/nonexistent/hwmon");
    EXPECT_EQ(readings.Temps, (std::array<std::int32_t, 3>{}));
    EXPECT_EQ(readings.Fans, (std::array<std::int32_t, 3>{}));
}

TEST(HwmonScan, UnreadableInputKeepsItsPlace)
{
    TTempFolder root;
    WriteFile(root.Path / "hwmon0/temp1_input", "garbage\n");
    WriteFile(root.Path / "hwmon0/temp2_input", "40000\n");
    WriteFile(root.Path / "hwmon0/tempx_input", "99000\n");
    WriteFile(root.Path / "hwmon0/temp3_max", "99000\n");
    WriteFile(root.Path / "hwmon0/fan1_input", "99999999999\n");
    const auto readings = ScanHwmon(root.Path);
    EXPECT_EQ(readings.Temps, (std::array<std::int32_t, 3>{0, 40, 0}));
    EXPECT_EQ(readings.Fans[0], 2147483647) << "held within 32 bits";
}

TEST(HwmonScan, ReadsSysfsNumbers)
{
    struct TCase
    {
        const char* name;
        const char* text;
        std::optional<std::int64_t> want;
    };
    const TCase cases[] = {
        {"plain", "45000\n", 45000},
        {"negative", "-3500\n", -3500},
        {"spaces", "  12 \n", 12},
        {"empty", "", std::nullopt},
        {"words", "n/a\n", std::nullopt},
        {"trailing text", "12abc\n", std::nullopt},
        {"longer than any sysfs number",
         "1000000000000000000000000000000000000000000000000000000000000000000\n", std::nullopt},
    };
    TTempFolder folder;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(folder.Path / "value", c.text);
        EXPECT_EQ(ReadSysfsNumber(folder.Path / "value"), c.want);
    }
    EXPECT_EQ(ReadSysfsNumber(folder.Path / "missing"), std::nullopt);
    // A FIFO with no writer would block a plain open for ever; one with a writer is no sysfs
    // input either, whatever it offers.
    const auto fifo = folder.Path / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(ReadSysfsNumber(fifo), std::nullopt);
    const int writer = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(writer, 0);
    ASSERT_EQ(::write(writer, "45000\n", 6), 6);
    EXPECT_EQ(ReadSysfsNumber(fifo), std::nullopt);
    ::close(writer);
}

TEST(HwmonScan, RoundsMillidegreesHalfAwayFromZero)
{
    struct TCase
    {
        const char* name;
        std::int64_t milli;
        std::int32_t want;
    };
    const TCase cases[] = {
        {"whole", 45000, 45},
        {"just below half", 46499, 46},
        {"half up", 46500, 47},
        {"negative half", -3500, -4},
        {"small negative", -400, 0},
        {"held at 16 bits", 40000000, 32767},
        {"held below", -40000000, -32768},
        {"extreme input", std::numeric_limits<std::int64_t>::min(), -32768},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(MilliToDegrees(c.milli), c.want);
    }
}

} // namespace
} // namespace statlume
