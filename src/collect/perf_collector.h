#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "collect/perf_walker.h"
#include "collect/raw_data.h"
#include "platform/perf_data_source.h"

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
    /// empty). False: the block was missing or malformed (the caller takes the failure path).
    bool ProcessorStep(TRawData& data, const std::vector<std::string>& excludeList);
    /// Network step ("638"); intervalMs is the update interval; 0 leaves the rates unchanged.
    bool NetworkStep(TRawData& data, std::uint32_t intervalMs);
    /// System step ("2"): uptime, processes, threads; also sets lastUptimeSecs.
    bool SystemStep(TRawData& data, std::int64_t& lastUptimeSecs);
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

    /// Idle counter pair of one processor instance slot.
    struct TIdleSample
    {
        std::int64_t Cur = 0;
        std::int64_t Prev = 0;
    };

    std::optional<std::span<const std::uint8_t>> QueryPerfData(TSlot slot, std::string_view index,
                                                               std::vector<std::uint8_t>& buffer);
    bool ReadFirstObject(TSlot slot, std::string_view index, std::vector<std::uint8_t>& buffer,
                         TPerfObject& object, std::int64_t* perfTime100ns);
    bool ApplyExclusion(double& usage, std::int64_t processors,
                        const std::vector<std::string>& excludeList);
    bool SampleExcluded();
    double ExcludedTimeSincePrev() const;

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
    std::array<std::uint32_t, 4> NetReadCur{};
    std::array<std::uint32_t, 4> NetReadPrev{};
    std::array<std::uint32_t, 4> NetWriteCur{};
    std::array<std::uint32_t, 4> NetWritePrev{};
    std::uint32_t NetReadSum = 0;
    std::uint32_t NetReadSumPrev = 0;
    std::uint32_t NetWriteSum = 0;
    std::uint32_t NetWriteSumPrev = 0;
    std::string UpperName;
    std::vector<std::string> UpperEntries;
};

} // namespace statlume
