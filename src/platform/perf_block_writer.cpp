#include "platform/perf_block_writer.h"

#include <algorithm>

#include "platform/perf_layout.h"

namespace statlume {

namespace {

constexpr std::uint32_t Align8(std::size_t value)
{
    return static_cast<std::uint32_t>((value + 7) & ~std::size_t{7});
}

// Decodes one UTF-8 code point at pos; malformed input yields U+FFFD and consumes one byte.
char32_t NextCodePoint(std::string_view text, std::size_t& pos)
{
    const auto lead = static_cast<unsigned char>(text[pos]);
    std::size_t extra = 0;
    char32_t cp = 0;
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        cp = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        cp = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        cp = lead & 0x07;
    } else {
        ++pos;
        return 0xFFFD;
    }
    if (pos + extra >= text.size()) {
        ++pos;
        return 0xFFFD;
    }
    for (std::size_t i = 1; i <= extra; ++i) {
        const auto next = static_cast<unsigned char>(text[pos + i]);
        if ((next & 0xC0) != 0x80) {
            ++pos;
            return 0xFFFD;
        }
        cp = (cp << 6) | (next & 0x3F);
    }
    static constexpr char32_t MinForLength[] = {0, 0x80, 0x800, 0x10000};
    if (cp < MinForLength[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++pos;
        return 0xFFFD;
    }
    pos += extra + 1;
    return cp;
}

} // namespace

void TPerfBlockWriter::Put16(std::size_t offset, std::uint16_t value)
{
    Buffer[offset] = static_cast<std::uint8_t>(value);
    Buffer[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

void TPerfBlockWriter::Put32(std::size_t offset, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        Buffer[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void TPerfBlockWriter::Put64(std::size_t offset, std::uint64_t value)
{
    for (int i = 0; i < 8; ++i)
        Buffer[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void TPerfBlockWriter::Reserve(std::size_t count)
{
    // Doubling keeps the number of reallocations small while the first blocks are built;
    // after that a block of the same size never reallocates.
    if (Buffer.size() - Used < count)
        Buffer.resize(std::max(Buffer.size() * 2, Used + count));
}

std::size_t TPerfBlockWriter::Grow(std::size_t count)
{
    Reserve(count);
    const std::size_t start = Used;
    std::fill_n(Buffer.begin() + static_cast<std::ptrdiff_t>(start), count, std::uint8_t{0});
    Used += count;
    return start;
}

void TPerfBlockWriter::Begin(std::int64_t perfTime, std::int64_t perfFreq,
                             std::int64_t perfTime100nSec)
{
    namespace db = perf::data_block;
    Used = 0;
    ObjectCount = 0;
    Grow(db::Size);
    const char16_t signature[] = u"PERF";
    for (std::size_t i = 0; i < 4; ++i) {
        Buffer[db::Signature + 2 * i] = static_cast<std::uint8_t>(signature[i]);
    }
    Put32(db::LittleEndian, 1);
    Put32(db::Version, 1);
    Put32(db::Revision, 1);
    Put32(db::HeaderLength, db::Size);
    Put32(db::DefaultObject, 0xFFFFFFFF);
    Put64(db::PerfTime, static_cast<std::uint64_t>(perfTime));
    Put64(db::PerfFreq, static_cast<std::uint64_t>(perfFreq));
    Put64(db::PerfTime100nSec, static_cast<std::uint64_t>(perfTime100nSec));
}

void TPerfBlockWriter::BeginObject(std::uint32_t titleIndex,
                                   std::span<const TPerfCounterInfo> counters, bool withInstances,
                                   std::int64_t perfTime, std::int64_t perfFreq)
{
    namespace ot = perf::object_type;
    namespace cd = perf::counter_definition;
    ObjectStart = Grow(ot::Size);
    WithInstances = withInstances;
    InstanceCount = 0;
    Put32(ObjectStart + ot::HeaderLength, ot::Size);
    Put32(ObjectStart + ot::ObjectNameTitleIndex, titleIndex);
    Put32(ObjectStart + ot::ObjectHelpTitleIndex, titleIndex + 1);
    Put32(ObjectStart + ot::NumCounters, static_cast<std::uint32_t>(counters.size()));
    Put32(ObjectStart + ot::NumInstances, withInstances ? 0 : 0xFFFFFFFF);
    Put64(ObjectStart + ot::PerfTime, static_cast<std::uint64_t>(perfTime));
    Put64(ObjectStart + ot::PerfFreq, static_cast<std::uint64_t>(perfFreq));

    // Values follow the counter block's 4-byte length, each aligned to its own width.
    CounterOffsets.clear();
    CounterSizes.clear();
    std::uint32_t offset = 8;
    for (const TPerfCounterInfo& counter : counters) {
        const std::uint32_t size = counter.Size == 8 ? 8 : 4;
        offset = (offset + size - 1) & ~(size - 1);
        const std::size_t def = Grow(cd::Size);
        Put32(def + cd::ByteLength, cd::Size);
        Put32(def + cd::CounterNameTitleIndex, counter.TitleIndex);
        Put32(def + cd::CounterHelpTitleIndex, counter.TitleIndex + 1);
        Put32(def + cd::CounterSize, size);
        Put32(def + cd::CounterOffset, offset);
        CounterOffsets.push_back(offset);
        CounterSizes.push_back(size);
        offset += size;
    }
    CounterBlockLength = Align8(offset);
    Put32(ObjectStart + ot::DefinitionLength, static_cast<std::uint32_t>(Used - ObjectStart));
}

void TPerfBlockWriter::WriteCounterBlock(std::span<const std::uint64_t> values)
{
    const std::size_t block = Grow(CounterBlockLength);
    Put32(block + perf::counter_block::ByteLength, CounterBlockLength);
    for (std::size_t i = 0; i < CounterOffsets.size() && i < values.size(); ++i) {
        if (CounterSizes[i] == 8)
            Put64(block + CounterOffsets[i], values[i]);
        else
            Put32(block + CounterOffsets[i], static_cast<std::uint32_t>(values[i]));
    }
}

void TPerfBlockWriter::AddInstance(std::string_view utf8Name, std::span<const std::uint64_t> values)
{
    namespace id = perf::instance_definition;
    // No UTF-8 byte yields more than one UTF-16 unit, so one reservation covers the header,
    // the name, its null, the padding and the counter block.
    Reserve(id::Size + 2 * (utf8Name.size() + 1) + 8 + CounterBlockLength);
    const std::size_t instance = Grow(id::Size);
    std::size_t pos = 0;
    while (pos < utf8Name.size()) {
        char32_t cp = NextCodePoint(utf8Name, pos);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            Put16(Used, static_cast<std::uint16_t>(0xD800 + (cp >> 10)));
            Put16(Used + 2, static_cast<std::uint16_t>(0xDC00 + (cp & 0x3FF)));
            Used += 4;
        } else {
            Put16(Used, static_cast<std::uint16_t>(cp));
            Used += 2;
        }
    }
    Grow(2);
    const std::size_t nameLength = Used - instance - id::Size;
    Grow(Align8(Used - instance) - (Used - instance));
    Put32(instance + id::ByteLength, static_cast<std::uint32_t>(Used - instance));
    Put32(instance + id::ParentObjectInstance, 0);
    Put32(instance + id::UniqueID, 0xFFFFFFFF);
    Put32(instance + id::NameOffset, id::Size);
    Put32(instance + id::NameLength, static_cast<std::uint32_t>(nameLength));
    WriteCounterBlock(values);
    ++InstanceCount;
}

void TPerfBlockWriter::AddCounterBlock(std::span<const std::uint64_t> values)
{
    WriteCounterBlock(values);
}

void TPerfBlockWriter::EndObject()
{
    namespace ot = perf::object_type;
    Put32(ObjectStart + ot::TotalByteLength, static_cast<std::uint32_t>(Used - ObjectStart));
    if (WithInstances)
        Put32(ObjectStart + ot::NumInstances, static_cast<std::uint32_t>(InstanceCount));
    ++ObjectCount;
}

std::span<const std::uint8_t> TPerfBlockWriter::End()
{
    namespace db = perf::data_block;
    Put32(db::TotalByteLength, static_cast<std::uint32_t>(Used));
    Put32(db::NumObjectTypes, ObjectCount);
    return Bytes();
}

} // namespace statlume
