#include "platform/linux/linux_figure_source.h"

#include <chrono>
#include <utility>

#include "platform/linux/block_devices.h"
#include "platform/linux/disk_stats.h"
#include "platform/linux/load_average.h"

namespace statlume::platform {

namespace {

std::int64_t MonotonicNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

TLinuxFigureSource::TLinuxFigureSource(TSystemRoots roots)
    : Roots(std::move(roots))
    , Batteries(Roots.Sysfs)
    , Gpus(Roots.Sysfs, Roots.Procfs)
{
}

std::optional<TLoadAverage> TLinuxFigureSource::ReadLoadAverage()
{
    return platform::ReadLoadAverage(Roots.Procfs);
}

std::optional<TDiskSample> TLinuxFigureSource::ReadDisks()
{
    auto devices = ReadDiskStats(Roots.Procfs);
    if (!devices)
        return std::nullopt;
    return TDiskSample{MonotonicNs(), std::move(*devices), ListWholeDisks(Roots.Sysfs)};
}

std::vector<TBattery> TLinuxFigureSource::ReadBatteries()
{
    std::vector<TBattery> each = Batteries.Read(MonotonicNs());
    const auto together = CombineBatteries(each);
    if (!together)
        return {};
    each.insert(each.begin(), *together);
    return each;
}

std::vector<TGpu> TLinuxFigureSource::ReadGpus(const TGpuChoice& choice)
{
    std::vector<TGpu> gpus;
    for (TGpuStatus& status : Gpus.Read(MonotonicNs(), choice))
        gpus.push_back(
            {std::move(status.Name), std::move(status.PciAddress), status.Asleep, status.Figures});
    return gpus;
}

TTopLists TLinuxFigureSource::ReadTopLists()
{
    if (!Top)
        Top.emplace(Roots.Procfs);
    return Top->Sample();
}

void TLinuxFigureSource::ForgetTopLists()
{
    Top.reset();
}

} // namespace statlume::platform
