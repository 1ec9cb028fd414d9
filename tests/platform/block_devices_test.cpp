#include <string>
#include <vector>

#include "platform/linux/block_devices.h"

#include <gtest/gtest.h>

namespace statlume::platform {
namespace {

TEST(BlockDevices, WholeDisksLeaveOutVirtualAndMemoryDevices)
{
    // The tree also holds loop0, dm-0, md0 and zram0, and partitions below sda and nvme0n1.
    EXPECT_EQ(ListWholeDisks(STATLUME_TEST_DATA "/sysfs_host"),
              (std::vector<std::string>{"nvme0n1", "sda"}));
    EXPECT_TRUE(ListWholeDisks("/nonexistent").empty());
}

} // namespace
} // namespace statlume::platform
