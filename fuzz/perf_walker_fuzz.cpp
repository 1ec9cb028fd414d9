// Feeds arbitrary bytes as a returned performance block to the walker and to the processor,
// network and system steps; no input may read out of bounds, trap or hang.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "collect/perf_collector.h"
#include "collect/perf_walker.h"
#include "platform/fake/perf_block_builder.h"
#include "record/raw_data.h"

namespace {

void WalkEverything(std::span<const std::uint8_t> bytes)
{
    const auto block = statlume::TPerfBlock::Open(bytes);
    if (!block)
        return;
    statlume::TPerfObject object;
    std::size_t offset = block->FirstObjectOffset();
    for (std::uint32_t n = 0; n < block->NumObjectTypes(); ++n) {
        if (!block->ReadObject(offset, object))
            return;
        offset = object.NextOffset;
        for (std::size_t i = 0; i < object.BlockCount(); ++i) {
            volatile std::size_t length = object.InstanceName(i).size();
            (void)length;
            for (const auto& counter : object.Counters) {
                (void)object.Value32(i, counter);
                (void)object.Value64(i, counter);
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<std::uint8_t> bytes(data, data + size);
    WalkEverything(bytes);

    // A second copy one tick later, so the steps reach their rate arithmetic.
    std::vector<std::uint8_t> later = bytes;
    if (later.size() >= 80)
        ++later[72];

    statlume::platform::FakePerfDataSource source;
    for (const char* index : {"238", "230", "638", "2"}) {
        source.Push(index, bytes);
        source.Push(index, later);
    }
    source.ForceMoreData(static_cast<int>(size % 3));
    statlume::TPerfCollector collector(source);
    statlume::TRawData raw;
    std::int64_t lastUptime = 0;
    const std::vector<std::string> exclude{"a", "", "SYS"};
    for (int tick = 0; tick < 2; ++tick) {
        collector.ProcessorStep(raw, exclude);
        collector.NetworkStep(raw, tick == 0 ? 0 : 1000);
        collector.SystemStep(raw, lastUptime);
    }
    return 0;
}
