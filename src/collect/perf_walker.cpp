#include "collect/perf_walker.h"

#include "platform/perf_layout.h"

namespace statlume {

namespace {

std::uint32_t Read32(std::span<const std::uint8_t> data, std::size_t offset)
{
    return static_cast<std::uint32_t>(data[offset]) |
           static_cast<std::uint32_t>(data[offset + 1]) << 8 |
           static_cast<std::uint32_t>(data[offset + 2]) << 16 |
           static_cast<std::uint32_t>(data[offset + 3]) << 24;
}

std::int64_t Read64(std::span<const std::uint8_t> data, std::size_t offset)
{
    const std::uint64_t low = Read32(data, offset);
    const std::uint64_t high = Read32(data, offset + 4);
    return static_cast<std::int64_t>(low | high << 32);
}

// True when [offset, offset + length) lies inside [0, end); written so it cannot overflow.
bool Fits(std::size_t offset, std::size_t length, std::size_t end)
{
    return offset <= end && length <= end - offset;
}

void AppendUtf8(char32_t cp, std::string& out)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

} // namespace

void AppendUtf16AsUtf8(std::span<const std::uint8_t> bytes, std::string& out)
{
    const std::size_t units = bytes.size() / 2;
    for (std::size_t i = 0; i < units; ++i) {
        const char32_t unit = bytes[2 * i] | static_cast<char32_t>(bytes[2 * i + 1]) << 8;
        if (unit == 0)
            return;
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units) {
            const char32_t low = bytes[2 * i + 2] | static_cast<char32_t>(bytes[2 * i + 3]) << 8;
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00), out);
                ++i;
                continue;
            }
        }
        AppendUtf8(unit >= 0xD800 && unit <= 0xDFFF ? char32_t{0xFFFD} : unit, out);
    }
}

std::string_view TPerfObject::InstanceName(std::size_t i) const
{
    if (i >= Blocks.size())
        return {};
    return std::string_view(Names).substr(Blocks[i].NameBegin, Blocks[i].NameLength);
}

std::optional<std::span<const std::uint8_t>> TPerfObject::Field(std::size_t i, std::uint32_t offset,
                                                                std::size_t width) const
{
    if (i >= Blocks.size() || !Fits(offset, width, Blocks[i].Length))
        return std::nullopt;
    return Data.subspan(Blocks[i].Offset + offset, width);
}

std::optional<std::uint32_t> TPerfObject::Value32(std::size_t i,
                                                  const TPerfCounterDef& counter) const
{
    const auto bytes = Field(i, counter.Offset, 4);
    if (!bytes)
        return std::nullopt;
    return Read32(*bytes, 0);
}

std::optional<std::int64_t> TPerfObject::Value64(std::size_t i,
                                                 const TPerfCounterDef& counter) const
{
    const auto bytes = Field(i, counter.Offset, 8);
    if (!bytes)
        return std::nullopt;
    return Read64(*bytes, 0);
}

std::optional<TPerfBlock> TPerfBlock::Open(std::span<const std::uint8_t> bytes)
{
    namespace db = perf::data_block;
    if (bytes.size() < db::Size)
        return std::nullopt;
    const std::size_t total = Read32(bytes, db::TotalByteLength);
    const std::size_t header = Read32(bytes, db::HeaderLength);
    const std::uint32_t objects = Read32(bytes, db::NumObjectTypes);
    // The data ends at TotalByteLength, which must lie within what was returned.
    if (total > bytes.size() || header < db::Size || header > total || objects == 0)
        return std::nullopt;
    TPerfBlock block;
    block.Data = bytes.first(total);
    block.Time100ns = Read64(bytes, db::PerfTime100nSec);
    block.ObjectTypes = objects;
    block.FirstObject = header;
    return block;
}

bool TPerfBlock::ReadObject(std::size_t offset, TPerfObject& object) const
{
    namespace ot = perf::object_type;
    if (!Fits(offset, ot::Size, Data.size()))
        return false;
    const std::size_t total = Read32(Data, offset + ot::TotalByteLength);
    const std::size_t definition = Read32(Data, offset + ot::DefinitionLength);
    const std::size_t header = Read32(Data, offset + ot::HeaderLength);
    // Each length must cover at least its own header, so every step of a walk advances.
    if (total < ot::Size || !Fits(offset, total, Data.size()) || header < ot::Size ||
        header > definition || definition > total)
        return false;
    const std::size_t end = offset + total;
    object.TitleIndex = Read32(Data, offset + ot::ObjectNameTitleIndex);
    object.NumInstances = static_cast<std::int32_t>(Read32(Data, offset + ot::NumInstances));
    object.PerfTime = Read64(Data, offset + ot::PerfTime);
    object.PerfFreq = Read64(Data, offset + ot::PerfFreq);
    object.NextOffset = end;
    object.Data = Data;
    object.Counters.clear();
    object.Blocks.clear();
    object.Names.clear();
    if (!ReadCounters(offset + header, offset + definition, Read32(Data, offset + ot::NumCounters),
                      object))
        return false;
    if (object.HasInstances())
        return ReadInstances(offset + definition, end, object.NumInstances, object);
    // An instance object whose list is empty (no network interface but loopback) ends with
    // its definitions; an object without instances holds its one counter block there.
    if (object.NumInstances == 0 && definition == total)
        return true;
    return ReadCounterBlock(offset + definition, end, object).has_value();
}

bool TPerfBlock::ReadCounters(std::size_t first, std::size_t definitionsEnd,
                              std::uint32_t numCounters, TPerfObject& object) const
{
    namespace cd = perf::counter_definition;
    std::size_t pos = first;
    for (std::uint32_t i = 0; i < numCounters; ++i) {
        if (!Fits(pos, cd::Size, definitionsEnd))
            return false;
        const std::size_t length = Read32(Data, pos + cd::ByteLength);
        if (length < cd::Size || !Fits(pos, length, definitionsEnd))
            return false;
        object.Counters.push_back({Read32(Data, pos + cd::CounterNameTitleIndex),
                                   Read32(Data, pos + cd::CounterSize),
                                   Read32(Data, pos + cd::CounterOffset)});
        pos += length;
    }
    return true;
}

bool TPerfBlock::ReadInstances(std::size_t first, std::size_t objectEnd, std::int32_t numInstances,
                               TPerfObject& object) const
{
    namespace id = perf::instance_definition;
    std::size_t pos = first;
    for (std::int32_t i = 0; i < numInstances; ++i) {
        if (!Fits(pos, id::Size, objectEnd))
            return false;
        const std::size_t length = Read32(Data, pos + id::ByteLength);
        const std::size_t nameOffset = Read32(Data, pos + id::NameOffset);
        const std::size_t nameLength = Read32(Data, pos + id::NameLength);
        if (length < id::Size || !Fits(pos, length, objectEnd) ||
            !Fits(nameOffset, nameLength, length))
            return false;
        const std::size_t nameBegin = object.Names.size();
        AppendUtf16AsUtf8(Data.subspan(pos + nameOffset, nameLength), object.Names);
        const auto next = ReadCounterBlock(pos + length, objectEnd, object);
        if (!next)
            return false;
        object.Blocks.back().NameBegin = nameBegin;
        object.Blocks.back().NameLength = object.Names.size() - nameBegin;
        pos = *next;
    }
    return true;
}

std::optional<std::size_t> TPerfBlock::ReadCounterBlock(std::size_t offset, std::size_t objectEnd,
                                                        TPerfObject& object) const
{
    namespace cb = perf::counter_block;
    if (!Fits(offset, cb::Size, objectEnd))
        return std::nullopt;
    const std::size_t length = Read32(Data, offset + cb::ByteLength);
    if (length < cb::Size || !Fits(offset, length, objectEnd))
        return std::nullopt;
    object.Blocks.push_back({object.Names.size(), 0, offset, length});
    return offset + length;
}

} // namespace statlume
