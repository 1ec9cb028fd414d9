// Which block devices of /sys/block are whole physical disks.
#pragma once

#include <string>
#include <vector>

namespace statlume::platform {

/// The kernel names of the whole physical disks under sysfsRoot + "/block", sorted: every
/// entry whose link does not lead below devices/virtual/ (which holds device-mapper, md,
/// loop, ram and zram) and whose name is not loop*, ram* or zram*. Partitions are never
/// entries there, so they are not counted.
std::vector<std::string> ListWholeDisks(const std::string& sysfsRoot = "/sys");

} // namespace statlume::platform
