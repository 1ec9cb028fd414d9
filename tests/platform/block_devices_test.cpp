#include <filesystem>
#include <string>
#include <vector>

#include "platform/linux/block_devices.h"

#include <gtest/gtest.h>
#include <stdlib.h>

namespace statlume::platform {
namespace {

TEST(BlockDevices, WholeDisksLeaveOutVirtualAndMemoryDevices)
{
    // The tree also holds loop0, dm-0, md0 and zram0, and partitions below sda and nvme0n1.
    EXPECT_EQ(ListWholeDisks(STATLUME_TEST_DATA "/sysfs_host"),
              (std::vector<std::string>{"nvme0n1", "sda"}));
    EXPECT_TRUE(ListWholeDisks("/nonexistent").empty());
}

// Links the kernel would not write still resolve as paths do: "." and ".." inside the target,
// and a folder merely named like "virtual".
TEST(BlockDevices, UnusualLinkTargetsResolveAsPaths)
{
    namespace fs = std::filesystem;
    std::string pattern = (fs::temp_directory_path() / "statlume-block-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const fs::path sysfs = pattern;
    fs::create_directory(sysfs / "block");
    const struct
    {
        const char* Name;
        const char* Target;
    } links[] = {
        {"vda", "../devices/./virtual/block/vda"},
        {"vdb", "../devices/pci0000:00/../virtual/block/vdb"},
        {"vdc", "../devices/virtual"},
        {"sdb", "../devices/virtualx/block/sdb"},
        {"sdc", "../devices/pci0000:00/virtual/block/sdc"},
        {"sdd", "../devices//pci0000:00/block/sdd"},
    };
    for (const auto& link : links)
        fs::create_symlink(link.Target, sysfs / "block" / link.Name);
    EXPECT_EQ(ListWholeDisks(sysfs.string()), (std::vector<std::string>{"sdb", "sdc", "sdd"}));
    fs::remove_all(sysfs);
}

} // namespace
} // namespace statlume::platform
