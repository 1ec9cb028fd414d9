#include "collect/snapshot_collector.h"

#include <cstring>

#include "collect/comma_text.h"
#include "collect/raw_data.h"
#include "format/ascii_case.h"

namespace statlume {

namespace {

constexpr int SlowCycleEvery = 10;
constexpr int HostTickWrap = 50;
} // namespace

TSnapshotCollector::TSnapshotCollector(platform::PerfDataSource& perfSource,
                                       platform::SystemStatus& status, TSensorStep& sensors)
    : Status(status)
    , Sensors(sensors)
    , PerfSteps(perfSource)
{
}

void TSnapshotCollector::SetExcludeText(std::string text)
{
    Exclude = std::move(text);
    ExcludeEntries = SplitCommaText(Exclude);
}

bool TSnapshotCollector::StepActive(const TFormatterList& formatters, TFamily family) const
{
    return CollectAll || FamilyOf(formatters, family).Active;
}

bool TSnapshotCollector::CollectSnapshot(TRawDataShell& shell, const TFormatterList& formatters,
                                         bool force, std::uint32_t intervalMs)
{
    TRawData& data = shell.Data;
    data.Marker = 'T';
    if (StepActive(formatters, TFamily::Proc) && !PerfSteps.ProcessorStep(data, ExcludeEntries))
        return false;
    if (StepActive(formatters, TFamily::Network) && !PerfSteps.NetworkStep(data, intervalMs))
        return false;
    if (StepActive(formatters, TFamily::UTP) && !PerfSteps.SystemStep(data, LastUptime))
        return false;
    if (StepActive(formatters, TFamily::PageRAM))
        MemoryStep(data);
    if (StepActive(formatters, TFamily::NonPerf))
        HostStep(data, force);
    if (StepActive(formatters, TFamily::MBM))
        Sensors.Run(data);
    return true;
}

void TSnapshotCollector::MemoryStep(TRawData& data)
{
    // An unreadable status keeps the last figures, like any other missing reading.
    const auto memory = Status.ReadMemory();
    if (!memory)
        return;
    SetMemoryBytes(data, memory->PageFree, memory->PageTotal, memory->PhysAvail, memory->PhysTotal);
}

void TSnapshotCollector::HostStep(TRawData& data, bool force)
{
    Tick = static_cast<std::int8_t>(Tick + 1);
    if (Tick % SlowCycleEvery == 0 || force)
        SlowHostItems(data);
    if (Tick == HostTickWrap) {
        PerfSteps.ResetBufferSizes();
        Tick = 0;
    }
    data.LocalTime = Status.LocalTime();
}

void TSnapshotCollector::SlowHostItems(TRawData& data)
{
    std::memset(data.IPAddrs, 0, sizeof data.IPAddrs);
    const auto addresses = Status.IPv4Addresses();
    for (std::size_t i = 0; i < addresses.size() && i < std::size(data.IPAddrs); ++i)
        std::memcpy(data.IPAddrs[i], addresses[i].data(), sizeof data.IPAddrs[i]);

    for (TDriveEntry& drive : data.Drives) {
        if (drive.Letter == 0)
            continue;
        const std::string mountPoint = MountPointOf(Drives, drive.Letter);
        const platform::TDiskSpace space =
            mountPoint.empty() ? platform::TDiskSpace{} : Status.DiskSpace(mountPoint);
        drive.FreeMB = static_cast<float>(static_cast<double>(space.FreeBytes) / BytesPerMB);
        drive.TotalMB = static_cast<float>(static_cast<double>(space.TotalBytes) / BytesPerMB);
    }

    // The names do not change while the program runs; a failed call is tried again later.
    if (data.ComputerName.Length == 0)
        data.ComputerName.Assign(TrimBlanks(Status.ComputerName()));
    if (data.LogonName.Length == 0)
        data.LogonName.Assign(TrimBlanks(Status.UserName()));
}

} // namespace statlume
