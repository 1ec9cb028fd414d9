#include "platform/fake/perf_block_builder.h"

#include <algorithm>
#include <cstring>

#include "platform/perf_layout.h"

namespace statlume::platform {

std::vector<std::uint8_t> BuildPerfBlock(std::int64_t perfTime100nSec,
                                         const std::vector<TFakeObject>& objects)
{
    TPerfBlockWriter writer;
    writer.Begin(perfTime100nSec, 10'000'000, perfTime100nSec);
    for (const TFakeObject& object : objects) {
        writer.BeginObject(object.TitleIndex, object.Counters, object.WithInstances,
                           object.PerfTime, object.PerfFreq);
        if (object.WithInstances) {
            for (const TFakeInstance& instance : object.Instances)
                writer.AddInstance(instance.Name, instance.Values);
        } else {
            writer.AddCounterBlock(object.Values);
        }
        writer.EndObject();
    }
    const auto bytes = writer.End();
    return {bytes.begin(), bytes.end()};
}

namespace {

TFakeObject TimedObject(std::uint32_t titleIndex, std::uint32_t counter,
                        const std::vector<std::pair<std::string, std::int64_t>>& instances)
{
    TFakeObject object{titleIndex, {{counter, 8}}, true, {}, {}, 0, 0};
    for (const auto& [name, value] : instances)
        object.Instances.push_back({name, {static_cast<std::uint64_t>(value)}});
    return object;
}

} // namespace

std::vector<std::uint8_t>
ProcessorBlock(std::int64_t perfTime100nSec,
               const std::vector<std::pair<std::string, std::int64_t>>& instances)
{
    return BuildPerfBlock(perfTime100nSec, {TimedObject(perf::title::ProcessorObject,
                                                        perf::title::IdleTime, instances)});
}

std::vector<std::uint8_t> IdentifiedProcessBlock(const std::vector<TFakeProcess>& processes)
{
    TFakeObject object{perf::title::ProcessObject,
                       {{perf::title::ProcessTime, 8},
                        {perf::title::ProcessId, 8},
                        {perf::title::ProcessStart, 8}},
                       true,
                       {},
                       {},
                       0,
                       0};
    for (const TFakeProcess& p : processes)
        object.Instances.push_back(
            {p.Name,
             {static_cast<std::uint64_t>(p.Time), static_cast<std::uint64_t>(p.Pid),
              static_cast<std::uint64_t>(p.Start)}});
    return BuildPerfBlock(0, {object});
}

std::vector<std::uint8_t>
ProcessBlock(const std::vector<std::pair<std::string, std::int64_t>>& instances)
{
    std::vector<TFakeProcess> processes;
    for (const auto& [name, time] : instances)
        processes.push_back({name, time, static_cast<std::int64_t>(processes.size()) + 1, 0});
    return IdentifiedProcessBlock(processes);
}

std::vector<std::uint8_t> NetworkBlock(const std::vector<TFakeInterface>& interfaces)
{
    TFakeObject object{perf::title::NetworkObject,
                       {{perf::title::BytesReceived, 4}, {perf::title::BytesSent, 4}},
                       true,
                       {},
                       {},
                       0,
                       0};
    for (const TFakeInterface& item : interfaces)
        object.Instances.push_back({item.Name, {item.Received, item.Sent}});
    return BuildPerfBlock(0, {object});
}

std::vector<std::uint8_t> SystemBlock(std::int64_t perfTime, std::int64_t perfFreq,
                                      std::int64_t bootValue, std::uint32_t processes,
                                      std::uint32_t threads)
{
    const TFakeObject object{perf::title::SystemObject,
                             {{perf::title::SystemUpTime, 8},
                              {perf::title::ProcessCount, 4},
                              {perf::title::ThreadCount, 4}},
                             false,
                             {},
                             {static_cast<std::uint64_t>(bootValue), processes, threads},
                             perfTime,
                             perfFreq};
    return BuildPerfBlock(0, {object});
}

std::size_t FirstObjectOffset()
{
    return perf::data_block::Size;
}

std::size_t FirstCounterOffset()
{
    return FirstObjectOffset() + perf::object_type::Size;
}

std::size_t FirstInstanceOffset(const std::vector<std::uint8_t>& block)
{
    const std::size_t at = FirstObjectOffset() + perf::object_type::DefinitionLength;
    std::uint32_t definition = 0;
    for (int i = 0; i < 4 && at + i < block.size(); ++i)
        definition |= static_cast<std::uint32_t>(block[at + i]) << (8 * i);
    return FirstObjectOffset() + definition;
}

void PatchU32(std::vector<std::uint8_t>& block, std::size_t offset, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4 && offset + i < block.size(); ++i)
        block[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void FakePerfDataSource::Push(std::string_view objectIndex, std::vector<std::uint8_t> block)
{
    Blocks[std::string(objectIndex)].push_back({std::move(block), false});
}

long FakePerfDataSource::Query(std::string_view objectIndex, std::uint8_t* buffer,
                               std::uint32_t& size)
{
    Calls.emplace_back(std::string(objectIndex), size);
    if (Failure != 0)
        return Failure;
    const auto found = Blocks.find(objectIndex);
    if (found == Blocks.end() || found->second.empty())
        return 2;
    if (MoreDataLeft > 0) {
        --MoreDataLeft;
        return ErrorMoreData;
    }
    auto& queue = found->second;
    if (queue.front().Served && queue.size() > 1)
        queue.pop_front();
    TQueued& next = queue.front();
    if (next.Block.size() > size)
        return ErrorMoreData;
    std::copy(next.Block.begin(), next.Block.end(), buffer);
    size = static_cast<std::uint32_t>(next.Block.size());
    next.Served = true;
    return ErrorSuccess;
}

} // namespace statlume::platform
