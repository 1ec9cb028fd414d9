#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace statlume {

// The figures the 272-byte record cannot carry. The record is the snapshot as it travels
// between copies and stays byte for byte as laid down: its padding carries only what is
// written down for it (the memory bits above 4 GiB at 188..191); every other pad byte is
// sent as received and never holds a new figure, since a peer that checks or ignores padding
// must read the record exactly as before. A new figure lives here instead, beside the
// record in the snapshot, and is never sent. A client fills only the record, so on a client
// these lists stay empty and their items render as items the server does not collect.

/// One processor core, in the kernel's numbering (cpu0 first).
struct TCoreFigure
{
    /// Usage in percent, 0..100; none until the core has two samples.
    std::optional<double> UsagePercent;
};

/// One network interface by its kernel name.
struct TInterfaceFigure
{
    std::string Name;
    /// KB/s received and sent; none until two samples.
    std::optional<double> ReadKBps;
    std::optional<double> WriteKBps;
};

/// One GPU, numbered in PCI address order.
struct TGpuFigure
{
    /// The card's name where the driver gives one, else its vendor and PCI address.
    std::string Name;
    std::string PciAddress;
    /// A card in runtime suspend: none of its files were opened.
    bool Asleep = false;
    std::optional<double> BusyPercent;
    std::optional<std::uint64_t> MemoryUsedBytes;
    std::optional<std::uint64_t> MemoryTotalBytes;
    std::optional<double> TemperatureCelsius;
    std::optional<double> PowerWatts;
    std::optional<double> ClockMHz;
};

/// One block device by its kernel name.
struct TDiskFigure
{
    std::string Name;
    /// A whole physical disk: counted in the sum over all disks.
    bool Whole = false;
    /// Bytes read and written since boot (counters).
    std::uint64_t ReadBytes = 0;
    std::uint64_t WrittenBytes = 0;
    /// Bytes per second over the last interval; none until two samples.
    std::optional<double> ReadBytesPerSecond;
    std::optional<double> WrittenBytesPerSecond;
};

/// One system battery, or all of them together.
struct TBatteryFigure
{
    /// "BAT0"; empty for all batteries together.
    std::string Name;
    /// "Charging", "Discharging", "Full", "Not charging" or "Unknown".
    std::string State = "Unknown";
    std::optional<double> ChargePercent;
    /// Power in W it gives or takes (never negative; State tells which).
    std::optional<double> PowerWatts;
    /// To empty while discharging, to full while charging.
    std::optional<long> MinutesLeft;
};

/// One process of a top list.
struct TProcessFigure
{
    int Pid = 0;
    /// The process's own name, printable.
    std::string Name;
    /// Share of the whole machine, 0..100.
    double CpuPercent = 0;
    std::uint64_t ResidentBytes = 0;
};

/// Load averages over 1, 5 and 15 minutes.
struct TLoadFigure
{
    double OneMinute = 0;
    double FiveMinutes = 0;
    double FifteenMinutes = 0;
};

/// Everything the snapshot holds beyond the record; each list is empty (and the load
/// absent) when its family was not collected on this pass.
struct TFiguresBeyond
{
    std::vector<TCoreFigure> Cores;
    std::vector<TInterfaceFigure> Interfaces;
    std::vector<TGpuFigure> Gpus;
    std::vector<TDiskFigure> Disks;
    /// The system batteries together (empty name) first, then each one in name order; empty
    /// when there is none.
    std::vector<TBatteryFigure> Batteries;
    /// The busiest processes first, at most ten each.
    std::vector<TProcessFigure> TopByCpu;
    std::vector<TProcessFigure> TopByMemory;
    std::optional<TLoadFigure> Load;
};

} // namespace statlume
