// Figures beyond the record set by a test, with a count of the reads of each family.
#pragma once

#include "platform/figure_source.h"

namespace statlume::platform {

/// Returns the figures its members hold and counts how often each family was read.
class TFakeFigureSource : public FigureSource
{
public:
    std::optional<TLoadAverage> ReadLoadAverage() override
    {
        ++LoadReads;
        return Load;
    }
    std::optional<TDiskSample> ReadDisks() override
    {
        ++DiskReads;
        return Disks;
    }
    std::vector<TBattery> ReadBatteries() override
    {
        ++BatteryReads;
        return Batteries;
    }
    std::vector<TGpu> ReadGpus(const TGpuChoice& choice) override
    {
        ++GpuReads;
        LastGpuChoice = choice;
        return Gpus;
    }
    std::string GpuNote() const override { return GpuNoteText; }
    TTopLists ReadTopLists() override
    {
        ++TopReads;
        return Top;
    }
    void ForgetTopLists() override { ++TopForgets; }

    std::optional<TLoadAverage> Load;
    std::optional<TDiskSample> Disks;
    std::vector<TBattery> Batteries;
    std::vector<TGpu> Gpus;
    std::string GpuNoteText;
    TGpuChoice LastGpuChoice;
    TTopLists Top;
    int LoadReads = 0;
    int DiskReads = 0;
    int BatteryReads = 0;
    int GpuReads = 0;
    int TopReads = 0;
    int TopForgets = 0;
};

} // namespace statlume::platform
