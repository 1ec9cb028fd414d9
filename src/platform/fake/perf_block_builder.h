#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/perf_block_writer.h"
#include "platform/perf_data_source.h"

namespace statlume::platform {

/// One instance of a crafted object: its name and one value per counter.
struct TFakeInstance
{
    std::string Name;
    std::vector<std::uint64_t> Values;
};

/// One crafted object; without instances, Values fills its single counter block.
struct TFakeObject
{
    std::uint32_t TitleIndex = 0;
    std::vector<TPerfCounterInfo> Counters;
    bool WithInstances = true;
    std::vector<TFakeInstance> Instances;
    std::vector<std::uint64_t> Values;
    std::int64_t PerfTime = 0;
    std::int64_t PerfFreq = 0;
};

/// Builds a block of the given objects with the given PerfTime100nSec.
std::vector<std::uint8_t> BuildPerfBlock(std::int64_t perfTime100nSec,
                                         const std::vector<TFakeObject>& objects);

/// A "238" block: one instance per (name, idle time in 100 ns) pair, counter 6 as int64.
std::vector<std::uint8_t>
ProcessorBlock(std::int64_t perfTime100nSec,
               const std::vector<std::pair<std::string, std::int64_t>>& instances);
/// One crafted process: name, processor time (100 ns), pid and start time.
struct TFakeProcess
{
    std::string Name;
    std::int64_t Time = 0;
    std::int64_t Pid = 0;
    std::int64_t Start = 0;
};

/// A "230" block with counters 6 (processor time), 784 (pid) and 684 (start time).
std::vector<std::uint8_t> IdentifiedProcessBlock(const std::vector<TFakeProcess>& processes);
/// A "230" block of (name, processor time) pairs; the n-th process has pid n and start 0.
std::vector<std::uint8_t>
ProcessBlock(const std::vector<std::pair<std::string, std::int64_t>>& instances);

/// Received and sent byte counters of one crafted interface.
struct TFakeInterface
{
    std::string Name;
    std::uint32_t Received = 0;
    std::uint32_t Sent = 0;
};

/// A "638" block with counters 264 and 506 per interface.
std::vector<std::uint8_t> NetworkBlock(const std::vector<TFakeInterface>& interfaces);
/// A "2" block: object PerfTime/PerfFreq, counter 674 = bootValue, 248 and 250.
std::vector<std::uint8_t> SystemBlock(std::int64_t perfTime, std::int64_t perfFreq,
                                      std::int64_t bootValue, std::uint32_t processes,
                                      std::uint32_t threads);

/// Offset of the first object of a block built here.
std::size_t FirstObjectOffset();
/// Offset of the first counter definition of the first object of a block built here.
std::size_t FirstCounterOffset();
/// Offset of the first instance definition of the first object of a block built here.
std::size_t FirstInstanceOffset(const std::vector<std::uint8_t>& block);
/// Overwrites the little-endian 32-bit field at offset (no effect beyond the end).
void PatchU32(std::vector<std::uint8_t>& block, std::size_t offset, std::uint32_t value);

/// A data source that returns queued blocks per object index and honours the size protocol.
class FakePerfDataSource : public PerfDataSource
{
public:
    /// Queues a block for index; blocks are served in order and the last one repeats.
    void Push(std::string_view objectIndex, std::vector<std::uint8_t> block);
    /// The next query of any index answers ErrorMoreData count more times first.
    void ForceMoreData(int count) { MoreDataLeft = count; }
    /// Makes every query answer result (0 restores normal answers).
    void FailWith(long result) { Failure = result; }

    long Query(std::string_view objectIndex, std::uint8_t* buffer, std::uint32_t& size) override;

    /// Index text and buffer size of every call, in order.
    std::vector<std::pair<std::string, std::uint32_t>> Calls;

private:
    struct TQueued
    {
        std::vector<std::uint8_t> Block;
        bool Served = false;
    };
    std::map<std::string, std::deque<TQueued>, std::less<>> Blocks;
    int MoreDataLeft = 0;
    long Failure = 0;
};

} // namespace statlume::platform
