#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "collect/core_usages.h"
#include "collect/interface_rates.h"
#include "collect/perf_walker.h"
#include "platform/perf_data_source.h"
#include "record/figure_detail.h"
#include "record/raw_data.h"
#include "record/raw_data_shell.h"

namespace statlume {

/// Previous counter samples and rate arithmetic of the processor, network and system steps.
class TPerfCollector
{
public:
    /// Largest buffer a query may grow to; a source that keeps asking for more is a failure.
    static constexpr std::uint32_t MaxBufferSize = 64u << 20;
    /// Size every query slot starts from and returns to on ResetBufferSizes.
    static constexpr std::uint32_t InitialBufferSize = 1024;

    /// Reads from source, which must outlive the collector.
    explicit TPerfCollector(platform::PerfDataSource& source);

    /// Processor step and process exclusion ("238", then "230" when excludeList is not
    /// empty). A processor seen for the first time has no value until the next step. False:
    /// the block was missing or malformed; the usages then have no value and the next step
    /// starts afresh.
    bool ProcessorStep(TRawData& data, const std::vector<std::string>& excludeList);
    /// Network step ("638"): rates over the time between the two blocks' clocks, or over
    /// intervalMs when the blocks carry none (0 then leaves the rates unchanged). An interface
    /// seen for the first time has no value until the next step; no interface at all is
    /// 0 KB/s. False as for the processor step.
    bool NetworkStep(TRawData& data, std::uint32_t intervalMs);
    /// System step ("2"): uptime, processes, threads; also sets lastUptimeSecs. False: the
    /// block was missing or malformed and the three figures have no value.
    bool SystemStep(TRawData& data, std::int64_t& lastUptimeSecs);
    /// Which cores and interfaces beyond the record the next steps also read; none at first.
    void SetFigureDetail(const TFigureDetail& detail);
    /// Every core's usage when the detail asks for the cores beyond four, else none.
    const std::vector<TCoreFigure>& CoreFigures() const { return CoreUsages.Figures(); }
    /// The interfaces the detail names that the last network step found.
    const std::vector<TInterfaceFigure>& InterfaceFigures() const
    {
        return InterfaceRates.Figures();
    }
    /// Drops the processor step's samples, so its next step has no earlier one to compare.
    void ForgetProcessor();
    /// Drops the network step's samples likewise.
    void ForgetNetwork();
    /// True when the processor step has exactly one sample: its rates wait for the next.
    bool ProcessorAwaitsSecondSample() const { return ProcessorSamples == 1; }
    /// True when the network step has exactly one sample.
    bool NetworkAwaitsSecondSample() const { return NetworkSamples == 1; }
    /// Which figures the steps could give a value; flags of steps never run stay true.
    const TFigureKnown& Known() const { return KnownFigures; }
    /// What the source said about its last failed query ("file: reason"); empty if nothing.
    std::string SourceProblem() const { return Source.LastProblem(); }
    /// Resets the five remembered buffer sizes to 1024.
    void ResetBufferSizes();
    /// The remembered buffer sizes (for tests).
    const std::array<std::uint32_t, 5>& BufferSizes() const;

private:
    /// Query slots in the order of the remembered sizes; the fifth is only ever reset.
    enum class TSlot : std::size_t
    {
        Processor = 0,
        Process = 1,
        Network = 2,
        System = 3
    };

    /// Processor time of one excluded process; pid and start time tell processes apart.
    struct TProcessSample
    {
        std::int64_t Pid = 0;
        std::int64_t Start = 0;
        std::int64_t Time = 0;
    };

    /// Idle counter pair of one processor instance slot and the instance it came from.
    struct TIdleSample
    {
        std::string Name;
        std::int64_t Cur = 0;
        std::int64_t Prev = 0;
        bool Valid = false;
    };

    /// Byte counters of one network instance slot and the interface they came from.
    struct TNetSample
    {
        std::string Name;
        std::uint32_t Read = 0;
        std::uint32_t Write = 0;
        bool Valid = false;
    };

    std::optional<std::span<const std::uint8_t>> QueryPerfData(TSlot slot, std::string_view index,
                                                               std::vector<std::uint8_t>& buffer);
    bool ReadFirstObject(TSlot slot, std::string_view index, std::vector<std::uint8_t>& buffer,
                         TPerfObject& object, std::int64_t* perfTime100ns);
    bool ApplyExclusion(double& usage, std::int64_t processors,
                        const std::vector<std::string>& excludeList);
    bool SampleExcluded();
    double ExcludedTimeSincePrev() const;
    bool ReadSystem(TRawData& data, std::int64_t& lastUptimeSecs);
    bool FailProcessor(TRawData& data);
    bool FailNetwork(TRawData& data);
    bool StoreUsage(TRawData& data, std::size_t slot, TIdleSample& sample, std::string_view name,
                    std::int64_t value, std::int64_t timeDiff, double& usage);

    platform::PerfDataSource& Source;
    std::array<std::uint32_t, 5> PerfBufSize;
    std::vector<std::uint8_t> Buffer;
    std::vector<std::uint8_t> ProcessBuffer;
    TPerfObject Object;
    TPerfObject ProcessObject;

    std::int64_t Perf100nsCur = 0;
    std::int64_t Perf100nsPrev = 0;
    std::array<TIdleSample, 4> CpuIdle{};
    TIdleSample TotalIdle;
    std::vector<TProcessSample> ExclCur;
    std::vector<TProcessSample> ExclPrev;
    std::array<TNetSample, 4> NetSlots{};
    std::int64_t NetTimeCur = 0;
    std::int64_t NetTimePrev = 0;
    // Blocks read since start or since the step was forgotten, counted up to 2.
    int ProcessorSamples = 0;
    int NetworkSamples = 0;
    TFigureKnown KnownFigures;
    TFigureDetail Detail;
    TCoreUsages CoreUsages;
    TInterfaceRates InterfaceRates;
    std::string UpperName;
    std::vector<std::string> UpperEntries;
};

} // namespace statlume
