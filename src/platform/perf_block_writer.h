#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace statlume {

/// One counter of an object being written: its title index and its width in bytes (4 or 8).
struct TPerfCounterInfo
{
    std::uint32_t TitleIndex = 0;
    std::uint32_t Size = 4;
};

/// Writes performance blocks in the published little-endian layout into a reused buffer, so
/// that building a block on every tick allocates nothing once the buffer has grown.
class TPerfBlockWriter
{
public:
    /// Starts a new block; the times are the block's PerfTime, PerfFreq and PerfTime100nSec.
    void Begin(std::int64_t perfTime, std::int64_t perfFreq, std::int64_t perfTime100nSec);
    /// Starts an object with the given counters; with instances the object expects AddInstance
    /// calls, without them exactly one AddCounterBlock call.
    void BeginObject(std::uint32_t titleIndex, std::span<const TPerfCounterInfo> counters,
                     bool withInstances, std::int64_t perfTime = 0, std::int64_t perfFreq = 0);
    /// Adds an instance named by UTF-8 text (invalid bytes become U+FFFD) with one value per
    /// counter, in counter order; values are cut to the counter's width.
    void AddInstance(std::string_view utf8Name, std::span<const std::uint64_t> values);
    /// Adds the single counter block of an object without instances.
    void AddCounterBlock(std::span<const std::uint64_t> values);
    /// Closes the current object and fills in its lengths and instance count.
    void EndObject();
    /// Closes the block and returns its bytes (valid until the next Begin).
    std::span<const std::uint8_t> End();
    /// The bytes written so far.
    std::span<const std::uint8_t> Bytes() const { return {Buffer.data(), Used}; }

private:
    void Put16(std::size_t offset, std::uint16_t value);
    void Put32(std::size_t offset, std::uint32_t value);
    void Put64(std::size_t offset, std::uint64_t value);
    void Reserve(std::size_t count);
    std::size_t Grow(std::size_t count);
    void WriteCounterBlock(std::span<const std::uint64_t> values);

    // The buffer only ever grows; Used bytes of it belong to the block being written.
    std::vector<std::uint8_t> Buffer;
    std::size_t Used = 0;
    std::vector<std::uint32_t> CounterOffsets;
    std::vector<std::uint32_t> CounterSizes;
    std::uint32_t CounterBlockLength = 0;
    std::size_t ObjectStart = 0;
    std::uint32_t ObjectCount = 0;
    std::int32_t InstanceCount = 0;
    bool WithInstances = false;
};

} // namespace statlume
