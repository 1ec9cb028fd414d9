#include <functional>
#include <vector>

#include "collect/perf_walker.h"
#include "platform/fake/perf_block_builder.h"
#include "platform/perf_layout.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

using platform::TFakeObject;

std::vector<std::uint8_t> SampleBlock()
{
    const TFakeObject object{
        77,   {{10, 4}, {11, 8}},
        true, {{"eth0", {0xDEADBEEF, 0x123456789AB}}, {"caf\xC3\xA9 \xF0\x9F\x98\x80", {1, 2}}},
        {},   5,
        6};
    return platform::BuildPerfBlock(99, {object});
}

TEST(PerfWalker, ReadsNamesAndValuesOfAWrittenBlock)
{
    const auto bytes = SampleBlock();
    const auto block = TPerfBlock::Open(bytes);
    ASSERT_TRUE(block);
    EXPECT_EQ(block->PerfTime100nSec(), 99);
    EXPECT_EQ(block->NumObjectTypes(), 1u);
    TPerfObject object;
    ASSERT_TRUE(block->ReadObject(block->FirstObjectOffset(), object));
    EXPECT_EQ(object.TitleIndex, 77u);
    EXPECT_EQ(object.PerfTime, 5);
    EXPECT_EQ(object.PerfFreq, 6);
    ASSERT_EQ(object.Counters.size(), 2u);
    ASSERT_EQ(object.BlockCount(), 2u);
    EXPECT_EQ(object.InstanceName(0), "eth0");
    EXPECT_EQ(object.InstanceName(1), "caf\xC3\xA9 \xF0\x9F\x98\x80");
    EXPECT_EQ(object.Value32(0, object.Counters[0]), 0xDEADBEEFu);
    EXPECT_EQ(object.Value64(0, object.Counters[1]), 0x123456789AB);
    EXPECT_EQ(object.Value64(1, object.Counters[1]), 2);
    EXPECT_EQ(object.NextOffset, bytes.size());
}

TEST(PerfWalker, ObjectWithoutInstancesHasOneCounterBlock)
{
    const auto bytes = platform::SystemBlock(100, 10, 30, 5, 6);
    const auto block = TPerfBlock::Open(bytes);
    ASSERT_TRUE(block);
    TPerfObject object;
    ASSERT_TRUE(block->ReadObject(block->FirstObjectOffset(), object));
    EXPECT_FALSE(object.HasInstances());
    ASSERT_EQ(object.BlockCount(), 1u);
    EXPECT_EQ(object.InstanceName(0), "");
    EXPECT_EQ(object.Value64(0, object.Counters[0]), 30);
    EXPECT_EQ(object.Value32(0, object.Counters[2]), 6u);
}

TEST(PerfWalker, CounterOutsideItsBlockHasNoValue)
{
    const auto bytes = SampleBlock();
    const auto block = TPerfBlock::Open(bytes);
    TPerfObject object;
    ASSERT_TRUE(block && block->ReadObject(block->FirstObjectOffset(), object));
    const TPerfCounterDef beyond{10, 4, 0xFFFFFFFE};
    const TPerfCounterDef straddling{11, 8, 20};
    EXPECT_FALSE(object.Value32(0, beyond));
    EXPECT_FALSE(object.Value64(0, straddling));
    EXPECT_FALSE(object.Value32(7, object.Counters[0]));
}

TEST(PerfWalker, Utf16NamesBecomeUtf8)
{
    struct TCase
    {
        const char* name;
        std::vector<std::uint8_t> utf16;
        std::string expected;
    };
    const TCase cases[] = {
        {"stops at null", {'a', 0, 0, 0, 'b', 0}, "a"},
        {"no null inside the length", {'a', 0, 'b', 0}, "ab"},
        {"odd last byte ignored", {'a', 0, 'b'}, "a"},
        {"unpaired high surrogate", {0x3D, 0xD8, 'x', 0}, "\xEF\xBF\xBDx"},
        {"lone low surrogate", {0x00, 0xDC}, "\xEF\xBF\xBD"},
        {"pair", {0x3D, 0xD8, 0x00, 0xDE}, "\xF0\x9F\x98\x80"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string out;
        AppendUtf16AsUtf8(c.utf16, out);
        EXPECT_EQ(out, c.expected);
    }
}

// Every row damages a valid block; the walker must refuse it instead of reading past it.
TEST(PerfWalker, RefusesDamagedBlocks)
{
    namespace db = perf::data_block;
    namespace ot = perf::object_type;
    namespace cd = perf::counter_definition;
    namespace id = perf::instance_definition;
    using TBlock = std::vector<std::uint8_t>;
    const std::size_t object = platform::FirstObjectOffset();
    const std::size_t counter = platform::FirstCounterOffset();
    const std::size_t instance = platform::FirstInstanceOffset(SampleBlock());
    auto patch = [](std::size_t offset, std::uint32_t value) {
        return [=](TBlock& b) { platform::PatchU32(b, offset, value); };
    };
    struct TCase
    {
        const char* name;
        std::function<void(TBlock&)> damage;
    };
    const TCase cases[] = {
        {"empty", [](TBlock& b) { b.clear(); }},
        {"shorter than the header", [](TBlock& b) { b.resize(db::Size - 1); }},
        {"truncated by one byte", [](TBlock& b) { b.pop_back(); }},
        {"truncated inside the object", [&](TBlock& b) { b.resize(counter + 10); }},
        {"no objects", patch(db::NumObjectTypes, 0)},
        {"total length beyond the data", patch(db::TotalByteLength, 0xFFFFFFF0)},
        {"header length beyond the data", patch(db::HeaderLength, 0x7FFFFFFF)},
        {"header length below the header", patch(db::HeaderLength, 4)},
        {"object length zero", patch(object + ot::TotalByteLength, 0)},
        {"object length beyond the data", patch(object + ot::TotalByteLength, 0xFFFFFFFF)},
        {"object header length zero", patch(object + ot::HeaderLength, 0)},
        {"definitions beyond the object", patch(object + ot::DefinitionLength, 0x10000)},
        {"too many counters", patch(object + ot::NumCounters, 0xFFFFFFFF)},
        {"counter length zero", patch(counter + cd::ByteLength, 0)},
        {"counter length huge", patch(counter + cd::ByteLength, 0xFFFFFFFF)},
        {"too many instances", patch(object + ot::NumInstances, 0x7FFFFFFF)},
        {"instance length zero", patch(instance + id::ByteLength, 0)},
        {"instance length huge", patch(instance + id::ByteLength, 0xFFFFFFF8)},
        {"name offset outside", patch(instance + id::NameOffset, 0xFFFFFFFF)},
        {"name length outside", patch(instance + id::NameLength, 0xFFFFFFF0)},
        {"counter block length zero", patch(instance + 40 + perf::counter_block::ByteLength, 0)},
        {"counter block length huge",
         patch(instance + 40 + perf::counter_block::ByteLength, 0x80000000)},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TBlock bytes = SampleBlock();
        c.damage(bytes);
        const auto block = TPerfBlock::Open(bytes);
        TPerfObject walked;
        const bool read = block && block->ReadObject(block->FirstObjectOffset(), walked);
        EXPECT_FALSE(read);
    }
}

TEST(PerfWalker, SecondObjectBeyondTheDataFailsInsteadOfLooping)
{
    auto bytes = platform::SystemBlock(100, 10, 30, 5, 6);
    platform::PatchU32(bytes, perf::data_block::NumObjectTypes, 0xFFFFFFFF);
    const auto block = TPerfBlock::Open(bytes);
    ASSERT_TRUE(block);
    TPerfObject object;
    ASSERT_TRUE(block->ReadObject(block->FirstObjectOffset(), object));
    EXPECT_FALSE(block->ReadObject(object.NextOffset, object));
}

} // namespace
} // namespace statlume
