// The figures beyond the record read from a Linux procfs and sysfs.
#pragma once

#include "platform/figure_source.h"
#include "platform/linux/battery_reader.h"
#include "platform/system_roots.h"

namespace statlume::platform {

/// Reads load, disks and batteries through the given roots; nothing is opened before a read
/// and no file stays open after one.
class TLinuxFigureSource : public FigureSource
{
public:
    explicit TLinuxFigureSource(TSystemRoots roots);

    /// procfs loadavg.
    std::optional<TLoadAverage> ReadLoadAverage() override;
    /// procfs diskstats, the whole disks of sysfs block, stamped with the monotonic clock.
    std::optional<TDiskSample> ReadDisks() override;
    /// sysfs class/power_supply, the batteries together first.
    std::vector<TBattery> ReadBatteries() override;

private:
    TSystemRoots Roots;
    TBatteryReader Batteries;
};

} // namespace statlume::platform
