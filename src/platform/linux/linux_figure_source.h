// The figures beyond the record read from a Linux procfs and sysfs.
#pragma once

#include <optional>

#include "platform/figure_source.h"
#include "platform/linux/battery_reader.h"
#include "platform/linux/top_processes.h"
#include "platform/system_roots.h"

namespace statlume::platform {

/// Reads load, disks, batteries and processes through the given roots; nothing is opened before
/// a read and no file stays open after one, but for the procfs folder while the top lists are
/// read (until ForgetTopLists).
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
    /// procfs stat and each process's stat.
    TTopLists ReadTopLists() override;
    void ForgetTopLists() override;

private:
    TSystemRoots Roots;
    TBatteryReader Batteries;
    // Made on the first read, so procfs is not listed before a Top item shows.
    std::optional<TTopProcesses> Top;
};

} // namespace statlume::platform
