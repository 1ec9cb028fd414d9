#include "format/beyond_values.h"

#include "format_rig.h"
#include <gtest/gtest.h>

namespace statlume {
namespace {

constexpr double MiBytes = 1 << 20;

TEST(BeyondMeasure, DiskSumCountsWholeDisksOnly)
{
    TFormatRig rig;
    rig.Shell.Beyond.Disks = {{"sda", true, 0, 0, 2 * MiBytes, 0.5 * MiBytes},
                              {"sda1", false, 0, 0, MiBytes, 0},
                              {"nvme0n1", true, 0, 0, MiBytes, std::nullopt}};
    struct TRow
    {
        const char* name;
        const char* line;
        const char* text;
    };
    const TRow rows[] = {
        {"sum of whole disks", "<NAME=DiskRead>", "3072"},
        {"a disk without a rate adds nothing", "<NAME=DiskWrite DECIMAL>", "512.00"},
        {"one partition", "<NAME=DiskRead FORMAT=\"sda1\">", "1024"},
        {"names are the kernel's, case and all", "<NAME=DiskRead FORMAT=\"SDA\">", ""},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(rig.Render(row.line), row.text);
    }
    EXPECT_EQ(MeasureDiskRead(rig.Shell, "")->Value, 3072.0);
}

// Bars and graphs draw GPU usage against 100 and video memory against the card's total.
TEST(BeyondMeasure, GpuMeasuresHaveTheirNaturalMaxima)
{
    TFormatRig rig;
    rig.Shell.Beyond.Gpus = {
        {"Radeon", "0000:03:00.0", false, 37.0, 1ull << 30, 8ull << 30, 45.0, {}, {}},
        {"Intel", "0000:00:02.0", false, {}, 1ull << 20, {}, {}, {}, 1100.0}};
    struct TRow
    {
        const char* name;
        TMeasureFunc measure;
        const char* format;
        std::optional<TMeasure> expected;
    };
    const TRow rows[] = {
        {"usage of the first", MeasureGPUUsage, "", TMeasure{37, 100}},
        {"memory against the total", MeasureGPUMemUsed, "1", TMeasure{1024, 8192}},
        {"memory as a share", MeasureGPUMemUsed, " 1 % ", TMeasure{12.5, 100}},
        {"share of the first", MeasureGPUMemUsed, "%", TMeasure{12.5, 100}},
        {"no share without a total", MeasureGPUMemUsed, "2 %", std::nullopt},
        {"total has no maximum", MeasureGPUMemTotal, "", TMeasure{8192, 0}},
        {"the second", MeasureGPUClock, "2", TMeasure{1100, 0}},
        {"no third", MeasureGPUClock, "3", std::nullopt},
        {"no zeroth", MeasureGPUUsage, "0", std::nullopt},
        {"not a number", MeasureGPUUsage, "1x", std::nullopt},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.name);
        const auto measure = row.measure(rig.Shell, row.format);
        ASSERT_EQ(measure.has_value(), row.expected.has_value());
        if (measure) {
            EXPECT_DOUBLE_EQ(measure->Value, row.expected->Value);
            EXPECT_DOUBLE_EQ(measure->Maximum, row.expected->Maximum);
        }
    }
}

// A client's snapshot holds the record alone: every figure beyond it shows no value, and
// bars and thresholds have no number to draw.
TEST(BeyondMeasure, AClientShowsNoFigureBeyondTheRecord)
{
    TFormatRig rig;
    EXPECT_EQ(rig.Render("<NAME=LoadAvg>|<NAME=DiskRead>|<NAME=DiskWrite FORMAT=\"sda\">|"
                         "<NAME=BatteryCharge>|<NAME=BatteryState>|<NAME=BatteryTime>|"
                         "<NAME=BatteryPower>|<NAME=GPUUsage>|<NAME=GPUName>|<NAME=TopCPU>|"
                         "<NAME=TopMem FORMAT=\"1 MEM\">"),
              "||||||||||");
    for (const TItemRow& row : ItemCatalogue()) {
        if (row.Family > TFamily::NonPerf && row.Measure != nullptr) {
            SCOPED_TRACE(std::string(row.TagName));
            EXPECT_EQ(row.Measure(rig.Shell, ""), std::nullopt);
        }
    }
}

} // namespace
} // namespace statlume
