// The figures beyond the record as the platform reads them: load, disk counters, batteries,
// graphics cards and the top processes.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace statlume::platform {

/// The three load averages the kernel keeps (runnable and uninterruptible tasks).
struct TLoadAverage
{
    double OneMinute = 0;
    double FiveMinutes = 0;
    double FifteenMinutes = 0;
};

/// The bytes one block device (a disk, a partition, a mapped device) has read and written.
struct TDiskCounters
{
    std::string Name;
    std::uint64_t ReadBytes = 0;
    std::uint64_t WrittenBytes = 0;
};

/// The disk counters of one moment.
struct TDiskSample
{
    /// When they were read, on a monotonic clock in ns.
    std::int64_t TimeNs = 0;
    /// Every block device, partitions and virtual ones included.
    std::vector<TDiskCounters> Devices;
    /// The kernel names of the whole physical disks, sorted.
    std::vector<std::string> WholeDisks;
};

/// One battery's state, or the system's batteries together.
struct TBattery
{
    /// The supply's kernel name ("BAT0"); empty for the combined battery.
    std::string Name;
    /// "Charging", "Discharging", "Full", "Not charging" or "Unknown" (any other text).
    std::string Status = "Unknown";
    /// Charge in %, 0..100; empty when the supply gives neither levels nor a capacity.
    std::optional<double> ChargePercent;
    /// Stored and full energy in Wh (from charge and voltage for charge-style drivers).
    std::optional<double> EnergyNowWh;
    std::optional<double> EnergyFullWh;
    /// Power in W: negative while discharging, positive otherwise, whatever sign the driver
    /// gives current_now or power_now.
    std::optional<double> PowerWatts;
    /// Minutes to empty while discharging, to full while charging; empty when unknown.
    std::optional<long> MinutesLeft;
};

/// A card's live figures; each is empty where the driver gives none or its read fails.
struct TGpuFigures
{
    /// Busy share in %, 0..100.
    std::optional<double> BusyPercent;
    std::optional<std::uint64_t> MemoryUsedBytes;
    std::optional<std::uint64_t> MemoryTotalBytes;
    std::optional<double> TemperatureCelsius;
    /// Power in W.
    std::optional<double> PowerWatts;
    /// The graphics clock in MHz.
    std::optional<double> ClockMHz;
};

/// One graphics card.
struct TGpu
{
    /// The card's name where the driver gives one, else its vendor and PCI address.
    std::string Name;
    std::string PciAddress;
    /// In runtime suspend: busy 0, nothing else read.
    bool Asleep = false;
    TGpuFigures Figures;
};

/// Which cards a read gives the figures of: every one, or those at the given places in PCI
/// address order (1 = the first). A card not chosen is listed by name and address only; none
/// of its files is opened, so a template showing one card costs the reading of one.
struct TGpuChoice
{
    bool All = true;
    std::vector<std::size_t> Places;

    bool Has(std::size_t place) const
    {
        return All || std::find(Places.begin(), Places.end(), place) != Places.end();
    }
};

/// One process of a top list.
struct TTopProcess
{
    int Pid = 0;
    /// The process's own name (comm) with control and bidirectional characters as "?".
    std::string Name;
    /// Share of the whole machine's processor time over the last interval, 0..100.
    double CpuPercent = 0;
    std::uint64_t ResidentBytes = 0;
};

/// The top lists of one sample, largest first.
struct TTopLists
{
    /// Empty on the first sample, which has nothing to compare with.
    std::vector<TTopProcess> ByCpu;
    std::vector<TTopProcess> ByMemory;
};

/// Reads the figures the record cannot carry. Each call opens what it reads and closes it
/// again, so nothing is touched for a family that is not collected.
class FigureSource
{
public:
    virtual ~FigureSource() = default;

    /// The load averages; nothing when they cannot be read.
    virtual std::optional<TLoadAverage> ReadLoadAverage() = 0;
    /// Every block device's counters; nothing when they cannot be read.
    virtual std::optional<TDiskSample> ReadDisks() = 0;
    /// The system's batteries together (empty name) and then each one in name order; empty
    /// when there is no battery.
    virtual std::vector<TBattery> ReadBatteries() = 0;
    /// Every graphics card in PCI address order, with the figures of those chosen; rates
    /// (Intel's busy share and power) have a value from the second read on.
    virtual std::vector<TGpu> ReadGpus(const TGpuChoice& choice) = 0;
    /// Why some GPUs show fewer figures than they could (NVIDIA's library is missing), once a
    /// read found out; empty otherwise.
    virtual std::string GpuNote() const = 0;
    /// One sample of the processes: the processor list compares it with the previous one
    /// (empty on the first), the memory list is of now.
    virtual TTopLists ReadTopLists() = 0;
    /// Drops what the previous sample kept of every process, so the next one starts afresh.
    virtual void ForgetTopLists() = 0;
};

} // namespace statlume::platform
