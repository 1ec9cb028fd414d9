#pragma once

// The collection steps of the figures beyond the record: load, disks, batteries, GPUs and
// the top processes, each
// filling its part of the snapshot from a platform figure source.
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/counter_rate.h"
#include "platform/figure_source.h"
#include "record/figures_beyond.h"

namespace statlume {

/// The load averages; nothing when the source cannot read them.
std::optional<TLoadFigure> LoadStep(platform::FigureSource& source);

/// Every system battery, the batteries together first (empty name); power in W whatever
/// its direction, which the state tells.
std::vector<TBatteryFigure> BatteryStep(platform::FigureSource& source);

/// The top lists of one process sample into beyond; the processor list stays empty on the
/// first sample.
void TopStep(platform::FigureSource& source, TFiguresBeyond& beyond);
/// Every graphics card in PCI address order; a sleeping one has busy 0 and nothing else.
std::vector<TGpuFigure> GpuStep(platform::FigureSource& source, const platform::TGpuChoice& choice);

/// Disk counters and their rates, keeping each device's previous sample.
class TDiskStep
{
public:
    /// Every block device with its counters and, from the second sample on, its rates; no
    /// device when the source cannot read them. Devices that vanished are forgotten.
    std::vector<TDiskFigure> Run(platform::FigureSource& source);
    /// Drops every previous sample, so rates start afresh.
    void Forget() { Devices.clear(); }
    /// After a Run: devices were read but none has a rate yet.
    bool AwaitsSecondSample() const { return Awaiting; }

private:
    struct TDeviceRates
    {
        platform::TCounterRate Read;
        platform::TCounterRate Written;
    };
    std::map<std::string, TDeviceRates, std::less<>> Devices;
    bool Awaiting = false;
};

} // namespace statlume
