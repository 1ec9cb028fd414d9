#include "collect/snapshot_collector.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "base/ascii_case.h"
#include "collect/comma_text.h"
#include "record/raw_data.h"

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

bool TSnapshotCollector::StepActive(TFamilySet families, TFamily family) const
{
    return Always.Union(families).Has(family);
}

bool TSnapshotCollector::CollectSnapshot(TRawDataShell& shell, TFamilySet families, bool force,
                                         std::uint32_t intervalMs)
{
    TRawData& data = shell.Data;
    data.Marker = 'T';
    Problem.clear();
    ProcActive = StepActive(families, TFamily::Proc);
    NetActive = StepActive(families, TFamily::Network);
    // A step left out for a while starts afresh: a rate over that gap would not be the last
    // interval's.
    if (ProcActive && !PerfSteps.ProcessorStep(data, ExcludeEntries))
        NoteProblem("processor", "stat");
    else if (!ProcActive)
        PerfSteps.ForgetProcessor();
    if (NetActive && !PerfSteps.NetworkStep(data, intervalMs))
        NoteProblem("network", "net/dev");
    else if (!NetActive)
        PerfSteps.ForgetNetwork();
    if (StepActive(families, TFamily::UTP) && !PerfSteps.SystemStep(data, LastUptime))
        NoteProblem("uptime, process and thread", "uptime and loadavg");
    shell.Known = PerfSteps.Known();
    if (!Problem.empty())
        Problem += " Check that procfs is mounted and readable by this user (in a container, "
                   "its own /proc); the figures return by themselves once it can be read.";
    if (StepActive(families, TFamily::PageRAM))
        MemoryStep(data);
    if (StepActive(families, TFamily::NonPerf))
        HostStep(data, force);
    if (StepActive(families, TFamily::MBM))
        Sensors.Run(data);
    BeyondSteps(shell.Beyond, families);
    return Problem.empty();
}

void TSnapshotCollector::BeyondSteps(TFiguresBeyond& beyond, TFamilySet families)
{
    // The processor and network steps read these with the record's figures; a step left out
    // has forgotten them.
    beyond.Cores = PerfSteps.CoreFigures();
    beyond.Interfaces = PerfSteps.InterfaceFigures();
    const bool loadActive = Figures != nullptr && StepActive(families, TFamily::Load);
    beyond.Load = loadActive ? LoadStep(*Figures) : std::nullopt;
    DiskActive = Figures != nullptr && StepActive(families, TFamily::Disk);
    if (DiskActive) {
        beyond.Disks = DiskSteps.Run(*Figures);
    } else {
        beyond.Disks.clear();
        DiskSteps.Forget();
    }
    const bool batteryActive = Figures != nullptr && StepActive(families, TFamily::Battery);
    beyond.Batteries = batteryActive ? BatteryStep(*Figures) : std::vector<TBatteryFigure>{};
    // Only a shown Top item scans the processes, even when collecting everything: neither the
    // record a server sends nor /metrics carries the lists.
    const bool topSampledBefore = TopActive;
    TopActive = Figures != nullptr && families.Has(TFamily::Top);
    if (TopActive) {
        TopStep(*Figures, beyond);
        // Only the first sample lacks a processor list for want of one to compare with; a list
        // empty later (a procfs whose clock stands still) is no reason to wait.
        TopAwaitsSecondSample = !topSampledBefore;
    } else {
        beyond.TopByCpu.clear();
        beyond.TopByMemory.clear();
        if (Figures != nullptr)
            Figures->ForgetTopLists();
    }
    const bool gpuActive = Figures != nullptr && StepActive(families, TFamily::Gpu);
    const platform::TGpuChoice choice{Always.Has(TFamily::Gpu), GpuPlaces};
    beyond.Gpus = gpuActive ? GpuStep(*Figures, choice) : std::vector<TGpuFigure>{};
    // Intel's busy share is a rate: a card awake on the first pass has none yet.
    const auto awake = [](const TGpuFigure& gpu) { return !gpu.Asleep; };
    GpuAwaiting =
        gpuActive && !GpuSampled && std::any_of(beyond.Gpus.begin(), beyond.Gpus.end(), awake);
    GpuSampled = gpuActive;
}

bool TSnapshotCollector::AwaitingSecondSample() const
{
    return (ProcActive && PerfSteps.ProcessorAwaitsSecondSample()) ||
           (NetActive && PerfSteps.NetworkAwaitsSecondSample()) ||
           (DiskActive && DiskSteps.AwaitsSecondSample()) || (TopActive && TopAwaitsSecondSample) ||
           GpuAwaiting;
}

void TSnapshotCollector::NoteProblem(std::string_view figures, std::string_view procFiles)
{
    if (!Problem.empty())
        Problem += ' ';
    Problem += "The ";
    Problem += figures;
    Problem += " figures show no value: ";
    const std::string reason = PerfSteps.SourceProblem();
    if (reason.empty()) {
        Problem += "the data read for them was malformed (procfs ";
        Problem += procFiles;
        Problem += ").";
    } else {
        Problem += reason;
        Problem += '.';
    }
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
    if (Always.Has(TFamily::NonPerf))
        EnterMappedDrives(data);
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
        if (drive.Letter != 0)
            MeasureDrive(drive);
    }

    // The names do not change while the program runs; a failed call is tried again later.
    if (data.ComputerName.Length == 0)
        data.ComputerName.Assign(TrimBlanks(Status.ComputerName()));
    if (data.LogonName.Length == 0)
        data.LogonName.Assign(TrimBlanks(Status.UserName()));
}

// A client may show any drive of its server, but the server's own template names only some of
// them (or none): the rest would reach the client as no entry, or as one the client entered with
// sizes of zero. Letters the template clears are entered again on the next pass, and measured
// at once, so no entry carries another drive's sizes.
void TSnapshotCollector::EnterMappedDrives(TRawData& data)
{
    for (const auto& mapped : Drives) {
        const char letter = mapped.first;
        const auto taken = std::find_if(std::begin(data.Drives), std::end(data.Drives),
                                        [&](const TDriveEntry& d) { return d.Letter == letter; });
        if (taken != std::end(data.Drives))
            continue;
        const auto free = std::find_if(std::begin(data.Drives), std::end(data.Drives),
                                       [](const TDriveEntry& d) { return d.Letter == 0; });
        if (free == std::end(data.Drives))
            return;
        free->Letter = letter;
        MeasureDrive(*free);
    }
}

void TSnapshotCollector::MeasureDrive(TDriveEntry& drive)
{
    const std::string mountPoint = MountPointOf(Drives, drive.Letter);
    const platform::TDiskSpace space =
        mountPoint.empty() ? platform::TDiskSpace{} : Status.DiskSpace(mountPoint);
    drive.FreeMB = static_cast<float>(static_cast<double>(space.FreeBytes) / BytesPerMB);
    drive.TotalMB = static_cast<float>(static_cast<double>(space.TotalBytes) / BytesPerMB);
}

} // namespace statlume
