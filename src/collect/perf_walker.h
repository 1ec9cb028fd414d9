#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace statlume {

/// One counter definition of an object: title index, declared width and the offset of its
/// value from the start of a counter block.
struct TPerfCounterDef
{
    /// CounterNameTitleIndex.
    std::uint32_t TitleIndex = 0;
    /// CounterSize in bytes, as declared (the reads check their own width).
    std::uint32_t Size = 0;
    /// CounterOffset from the start of a counter block.
    std::uint32_t Offset = 0;
};

/// One object of a block, every offset already checked; reused between reads so that a
/// steady walk allocates nothing.
class TPerfObject
{
public:
    /// ObjectNameTitleIndex.
    std::uint32_t TitleIndex = 0;
    /// NumInstances as stored; below 1 means no instances: one counter block, or none at all
    /// when the object is an instance list that is empty (0 and nothing after the definitions).
    std::int32_t NumInstances = 0;
    /// The object's PerfTime.
    std::int64_t PerfTime = 0;
    /// The object's PerfFreq (ticks of PerfTime per second).
    std::int64_t PerfFreq = 0;
    /// Offset of the next object, TotalByteLength after this one's start.
    std::size_t NextOffset = 0;
    /// The counter definitions in block order.
    std::vector<TPerfCounterDef> Counters;

    /// True when the object lists instances.
    bool HasInstances() const { return NumInstances >= 1; }
    /// Number of counter blocks: one per instance, or one for an object without instances (none
    /// for an empty instance list).
    std::size_t BlockCount() const { return Blocks.size(); }
    /// The UTF-8 name of instance i (empty for an object without instances).
    std::string_view InstanceName(std::size_t i) const;
    /// The 32-bit value of counter at block i; empty when it does not lie inside the block.
    std::optional<std::uint32_t> Value32(std::size_t i, const TPerfCounterDef& counter) const;
    /// The 64-bit value of counter at block i; empty when it does not lie inside the block.
    std::optional<std::int64_t> Value64(std::size_t i, const TPerfCounterDef& counter) const;

private:
    friend class TPerfBlock;
    struct TBlockRef
    {
        std::size_t NameBegin = 0;
        std::size_t NameLength = 0;
        std::size_t Offset = 0;
        std::size_t Length = 0;
    };
    std::optional<std::span<const std::uint8_t>> Field(std::size_t i, std::uint32_t offset,
                                                       std::size_t width) const;

    std::span<const std::uint8_t> Data;
    std::vector<TBlockRef> Blocks;
    std::string Names;
};

/// A returned performance block, read with every offset and length checked against the
/// returned size; no input makes it read outside the data or loop without progress.
class TPerfBlock
{
public:
    /// Checks the block header; empty when the data is shorter than the header, a length
    /// points outside the data or the block holds no objects.
    static std::optional<TPerfBlock> Open(std::span<const std::uint8_t> bytes);

    /// PerfTime100nSec of the block header.
    std::int64_t PerfTime100nSec() const { return Time100ns; }
    /// NumObjectTypes of the block header (at least 1).
    std::uint32_t NumObjectTypes() const { return ObjectTypes; }
    /// Offset of the first object (HeaderLength).
    std::size_t FirstObjectOffset() const { return FirstObject; }
    /// Reads the object at offset with its counters and instances into object; false when
    /// any part of it lies outside the data or a length is too small to make progress.
    bool ReadObject(std::size_t offset, TPerfObject& object) const;

private:
    bool ReadCounters(std::size_t objectStart, std::size_t definitionsEnd,
                      std::uint32_t numCounters, TPerfObject& object) const;
    bool ReadInstances(std::size_t first, std::size_t objectEnd, std::int32_t numInstances,
                       TPerfObject& object) const;
    std::optional<std::size_t> ReadCounterBlock(std::size_t offset, std::size_t objectEnd,
                                                TPerfObject& object) const;

    std::span<const std::uint8_t> Data;
    std::int64_t Time100ns = 0;
    std::uint32_t ObjectTypes = 0;
    std::size_t FirstObject = 0;
};

/// Appends the UTF-16LE text of bytes, up to its first null, as UTF-8 (an unpaired surrogate
/// becomes U+FFFD; an odd last byte is ignored).
void AppendUtf16AsUtf8(std::span<const std::uint8_t> bytes, std::string& out);

} // namespace statlume
