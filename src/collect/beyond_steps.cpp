#include "collect/beyond_steps.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace statlume {

std::optional<TLoadFigure> LoadStep(platform::FigureSource& source)
{
    const auto load = source.ReadLoadAverage();
    if (!load)
        return std::nullopt;
    return TLoadFigure{load->OneMinute, load->FiveMinutes, load->FifteenMinutes};
}

std::vector<TBatteryFigure> BatteryStep(platform::FigureSource& source)
{
    std::vector<TBatteryFigure> figures;
    for (const platform::TBattery& battery : source.ReadBatteries()) {
        TBatteryFigure figure;
        figure.Name = battery.Name;
        figure.State = battery.Status;
        figure.ChargePercent = battery.ChargePercent;
        if (battery.PowerWatts)
            figure.PowerWatts = std::abs(*battery.PowerWatts);
        figure.MinutesLeft = battery.MinutesLeft;
        figures.push_back(std::move(figure));
    }
    return figures;
}

namespace {

std::vector<TProcessFigure> ProcessFigures(const std::vector<platform::TTopProcess>& processes)
{
    std::vector<TProcessFigure> figures;
    figures.reserve(processes.size());
    for (const platform::TTopProcess& process : processes)
        figures.push_back({process.Pid, process.Name, process.CpuPercent, process.ResidentBytes});
    return figures;
}

} // namespace

void TopStep(platform::FigureSource& source, TFiguresBeyond& beyond)
{
    const platform::TTopLists lists = source.ReadTopLists();
    beyond.TopByCpu = ProcessFigures(lists.ByCpu);
    beyond.TopByMemory = ProcessFigures(lists.ByMemory);
}

std::vector<TGpuFigure> GpuStep(platform::FigureSource& source, const platform::TGpuChoice& choice)
{
    std::vector<TGpuFigure> figures;
    for (const platform::TGpu& gpu : source.ReadGpus(choice)) {
        const platform::TGpuFigures& read = gpu.Figures;
        figures.push_back({gpu.Name, gpu.PciAddress, gpu.Asleep, read.BusyPercent,
                           read.MemoryUsedBytes, read.MemoryTotalBytes, read.TemperatureCelsius,
                           read.PowerWatts, read.ClockMHz});
    }
    return figures;
}

std::vector<TDiskFigure> TDiskStep::Run(platform::FigureSource& source)
{
    Awaiting = false;
    auto sample = source.ReadDisks();
    if (!sample) {
        Devices.clear();
        return {};
    }
    std::map<std::string, TDeviceRates, std::less<>> seen;
    bool anyRate = false;
    std::vector<TDiskFigure> figures;
    figures.reserve(sample->Devices.size());
    for (const platform::TDiskCounters& device : sample->Devices) {
        // A device listed twice keeps the first line's counters, as a rate over both would
        // mix two devices.
        if (seen.contains(device.Name))
            continue;
        TDiskFigure figure;
        figure.Name = device.Name;
        figure.Whole =
            std::binary_search(sample->WholeDisks.begin(), sample->WholeDisks.end(), device.Name);
        figure.ReadBytes = device.ReadBytes;
        figure.WrittenBytes = device.WrittenBytes;
        TDeviceRates rates;
        if (const auto previous = Devices.find(device.Name); previous != Devices.end())
            rates = previous->second;
        figure.ReadBytesPerSecond = rates.Read.Update(device.ReadBytes, sample->TimeNs);
        figure.WrittenBytesPerSecond = rates.Written.Update(device.WrittenBytes, sample->TimeNs);
        anyRate = anyRate || figure.ReadBytesPerSecond.has_value();
        seen.emplace(device.Name, rates);
        figures.push_back(std::move(figure));
    }
    // Vanished devices are dropped with the old map.
    Devices = std::move(seen);
    Awaiting = !figures.empty() && !anyRate;
    return figures;
}

} // namespace statlume
