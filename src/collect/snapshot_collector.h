#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "collect/beyond_steps.h"
#include "collect/drive_map.h"
#include "collect/perf_collector.h"
#include "collect/sensor_step.h"
#include "platform/figure_source.h"
#include "platform/perf_data_source.h"
#include "platform/system_status.h"
#include "record/family_set.h"
#include "record/raw_data_shell.h"

namespace statlume {

/// The program-wide collection state and the local collection pass that fills the snapshot.
class TSnapshotCollector
{
public:
    /// Collects through the given sources; none is owned, all must outlive the collector.
    TSnapshotCollector(platform::PerfDataSource& perfSource, platform::SystemStatus& status,
                       TSensorStep& sensors);

    /// One collection: the marker, then the step of every family in families (every step when
    /// collecting all) into shell.Data, shell.Known and shell.Beyond (whose parts of families
    /// left out are emptied); force runs the slow host items now.
    /// intervalMs scales the network rates of blocks without a clock. Returns false when a
    /// step could not read its data: its figures then have no value, the other steps run all
    /// the same, and Problem says what failed.
    bool CollectSnapshot(TRawDataShell& shell, TFamilySet families, bool force,
                         std::uint32_t intervalMs);
    /// After a collection: an active rate step has its first sample only, so its rates have
    /// no value until a second collection.
    bool AwaitingSecondSample() const;
    /// What the last collection could not read and why, for the user; empty when all was read.
    const std::string& CollectionProblem() const { return Problem; }

    /// Collects these families on every pass besides the set a collection is given; with the
    /// host family, every drive of the drive map too, not only those the drive items ask for
    /// (headless server: the record's families; exporter: all).
    void SetCollectAlways(TFamilySet families) { Always = families; }
    /// Sets the process exclusion text and rebuilds the list from it (comma text).
    void SetExcludeText(std::string text);
    /// Reads the figures beyond the record (load, disks, batteries, GPUs,
    /// processes) from source, which must
    /// outlive the collector; without one those families collect nothing.
    void SetFigureSource(platform::FigureSource& source) { Figures = &source; }
    /// Which cores beyond four and interfaces by name the processor and network steps also
    /// read into shell.Beyond, and which GPUs the GPU step reads (all when collecting every
    /// family); none until set (a template that shows none).
    void SetFigureDetail(const TFigureDetail& detail)
    {
        PerfSteps.SetFigureDetail(detail);
        GpuPlaces = detail.GpuPlaces;
    }
    /// Sets the letters the drive items can measure.
    void SetDriveMap(TDriveMap map) { Drives = std::move(map); }
    /// The letters the drive map names, upper case.
    std::string DriveLetters() const { return LettersOf(Drives); }
    /// The drive letter map in force.
    const TDriveMap& DriveMap() const { return Drives; }

    /// The exclusion text as set; empty = no exclusion.
    const std::string& ExcludeText() const { return Exclude; }
    /// The exclusion text split as comma text.
    const std::vector<std::string>& ExcludeList() const { return ExcludeEntries; }
    /// The last uptime in seconds the system step computed (0 before the first).
    std::int64_t LastUptimeSecs() const { return LastUptime; }
    /// The slow host cycle counter: 9 at start, 0..50 afterwards.
    std::int8_t HostTick() const { return Tick; }
    /// The processor, network and system steps with their previous samples.
    const TPerfCollector& PerfCollector() const { return PerfSteps; }

private:
    bool StepActive(TFamilySet families, TFamily family) const;
    void NoteProblem(std::string_view figures, std::string_view procFiles);
    void BeyondSteps(TFiguresBeyond& beyond, TFamilySet families);
    void MemoryStep(TRawData& data);
    void HostStep(TRawData& data, bool force);
    void SlowHostItems(TRawData& data);
    void EnterMappedDrives(TRawData& data);
    void MeasureDrive(TDriveEntry& drive);

    platform::SystemStatus& Status;
    TSensorStep& Sensors;
    TPerfCollector PerfSteps;
    platform::FigureSource* Figures = nullptr;
    TDiskStep DiskSteps;
    TDriveMap Drives = ParseDriveMap(DefaultDriveMapText);
    std::string Exclude;
    std::vector<std::string> ExcludeEntries;
    std::int64_t LastUptime = 0;
    std::int8_t Tick = 9;
    TFamilySet Always;
    bool ProcActive = false;
    bool NetActive = false;
    bool DiskActive = false;
    bool TopActive = false;
    bool TopAwaitsSecondSample = false;
    /// The GPU step ran on the previous pass, so its rates have two samples.
    bool GpuSampled = false;
    bool GpuAwaiting = false;
    std::vector<std::size_t> GpuPlaces;
    std::string Problem;
};

} // namespace statlume
