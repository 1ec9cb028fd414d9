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

// A client's snapshot holds the record alone: every figure beyond it shows no value, and
// bars and thresholds have no number to draw.
TEST(BeyondMeasure, AClientShowsNoFigureBeyondTheRecord)
{
    TFormatRig rig;
    EXPECT_EQ(rig.Render("<NAME=LoadAvg>|<NAME=DiskRead>|<NAME=DiskWrite FORMAT=\"sda\">|"
                         "<NAME=BatteryCharge>|<NAME=BatteryState>|<NAME=BatteryTime>|"
                         "<NAME=BatteryPower>|<NAME=TopCPU>|<NAME=TopMem FORMAT=\"1 MEM\">"),
              "||||||||");
    for (const TItemRow& row : ItemCatalogue()) {
        if (row.Family > TFamily::NonPerf && row.Measure != nullptr) {
            SCOPED_TRACE(std::string(row.TagName));
            EXPECT_EQ(row.Measure(rig.Shell, ""), std::nullopt);
        }
    }
}

} // namespace
} // namespace statlume
