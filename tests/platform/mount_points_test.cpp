#include <string>
#include <vector>

#include "platform/linux/mount_points.h"

#include <gtest/gtest.h>

namespace statlume::platform {
namespace {

// What a drive letter can stand for: block devices and network file systems, "/" first, no
// pseudo file system, snap image or hostile path.
TEST(MountPoints, KeepsTheFileSystemsThatHoldFiles)
{
    const std::string mountInfo = "22 1 8:2 / / rw,relatime shared:1 - ext4 /dev/sda2 rw\n"
                                  "23 22 0:21 / /proc rw - proc proc rw\n"
                                  "24 22 0:5 / /dev rw - devtmpfs udev rw\n"
                                  "25 22 8:3 / /home rw shared:2 - ext4 /dev/sda3 rw\n"
                                  "26 22 7:0 / /snap/core/1 ro - squashfs /dev/loop0 ro\n"
                                  "27 22 0:50 / /mnt/nas rw - nfs4 nas:/export rw\n"
                                  "28 22 8:17 / /media/my\\040disk rw - vfat /dev/sdb1 rw\n"
                                  "29 22 8:18 / /media/evil\\033[31m rw - vfat /dev/sdb2 rw\n"
                                  "30 22 8:3 / /home rw - ext4 /dev/sda3 rw\n"
                                  "31 22 0:60 / /tmp rw - tmpfs tmpfs rw\n"
                                  "32 22 8:4 / relative rw - ext4 /dev/sda4 rw\n"
                                  "33 22 8:5 / /broken rw ext4 /dev/sda5\n";
    EXPECT_EQ(MountPointsOf(mountInfo),
              (std::vector<std::string>{"/", "/home", "/mnt/nas", "/media/my disk"}));
}

TEST(MountPoints, AnUnreadableTableGivesTheRoot)
{
    EXPECT_EQ(ListMountPoints("/nonexistent"), std::vector<std::string>{"/"});
}

} // namespace
} // namespace statlume::platform
