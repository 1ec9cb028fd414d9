// The figures beyond the record read from a Linux procfs and sysfs.
#pragma once

#include <optional>

#include "platform/figure_source.h"
#include "platform/linux/battery_reader.h"
#include "platform/linux/gpu_reader.h"
#include "platform/linux/top_processes.h"
#include "platform/system_roots.h"

namespace statlume::platform {

/// Reads load, disks, batteries, graphics cards and processes through the given roots; nothing
/// is opened before a read and no file stays open after one, but for the procfs folder while
/// the top lists are read (until ForgetTopLists).
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
    /// sysfs class/drm and what the drivers give (NVIDIA's library is loaded at the first
    /// read that finds an NVIDIA card awake).
    std::vector<TGpu> ReadGpus(const TGpuChoice& choice) override;
    /// Why NVIDIA GPUs show no usage, once known.
    std::string GpuNote() const override { return Gpus.NvmlReason(); }
    /// procfs stat and each process's stat.
    TTopLists ReadTopLists() override;
    void ForgetTopLists() override;

private:
    TSystemRoots Roots;
    TBatteryReader Batteries;
    TGpuReader Gpus;
    // Made on the first read, so procfs is not listed before a Top item shows.
    std::optional<TTopProcesses> Top;
};

} // namespace statlume::platform
