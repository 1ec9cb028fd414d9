#include <array>
#include <climits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "collect/comma_text.h"
#include "collect/perf_collector.h"
#include "platform/fake/perf_block_builder.h"
#include "platform/perf_layout.h"
#include "record/record_check.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

using platform::TFakeInterface;
using TInstances = std::vector<std::pair<std::string, std::int64_t>>;

constexpr std::int64_t Second = 10'000'000;

class PerfCollectorTest : public ::testing::Test
{
protected:
    platform::FakePerfDataSource Source;
    TPerfCollector Collector{Source};
    TRawData Data;
    std::int64_t LastUptime = 0;

    bool Processor(std::int64_t time, const TInstances& instances,
                   const std::vector<std::string>& exclude = {})
    {
        Source.Push("238", platform::ProcessorBlock(time, instances));
        return Collector.ProcessorStep(Data, exclude);
    }
    bool Network(std::uint32_t interval, const std::vector<TFakeInterface>& interfaces)
    {
        Source.Push("638", platform::NetworkBlock(interfaces));
        return Collector.NetworkStep(Data, interval);
    }

    // Whatever the steps computed (no clamping, exclusion, resets), a peer accepts the record.
    void TearDown() override
    {
        Data.Marker = 'T';
        EXPECT_EQ(RecordCheckFailure(Data), std::nullopt);
    }
};

// Instance names "0".."n-1" with the given idle times, then "_Total" with their mean.
TInstances Cpus(const std::vector<std::int64_t>& idle)
{
    TInstances instances;
    std::int64_t sum = 0;
    for (std::size_t i = 0; i < idle.size(); ++i) {
        instances.emplace_back(std::to_string(i), idle[i]);
        sum += idle[i];
    }
    instances.emplace_back("_Total", sum / static_cast<std::int64_t>(idle.size()));
    return instances;
}

TEST_F(PerfCollectorTest, OneProcessorFillsItsEntryAndTheTotal)
{
    ASSERT_TRUE(Processor(Second, Cpus({Second / 2})));
    ASSERT_TRUE(Processor(2 * Second, Cpus({Second / 2 + Second / 4})));
    EXPECT_FLOAT_EQ(Data.ProcUsage[0], 75.0f);
    EXPECT_FLOAT_EQ(Data.ProcUsage[1], 75.0f);
    EXPECT_EQ(Data.ProcUsage[2], 0.0f);
    EXPECT_EQ(Data.ProcUsage[4], 0.0f);
}

TEST_F(PerfCollectorTest, TwoProcessors)
{
    ASSERT_TRUE(Processor(Second, Cpus({0, 0})));
    ASSERT_TRUE(Processor(2 * Second, Cpus({Second / 10, Second / 2})));
    EXPECT_FLOAT_EQ(Data.ProcUsage[1], 90.0f);
    EXPECT_FLOAT_EQ(Data.ProcUsage[2], 50.0f);
    EXPECT_FLOAT_EQ(Data.ProcUsage[0], 70.0f);
    EXPECT_EQ(Data.ProcUsage[3], 0.0f);
}

TEST_F(PerfCollectorTest, TotalIsFoundWhereverItStands)
{
    struct TCase
    {
        const char* name;
        bool totalFirst;
    };
    for (const TCase c : {TCase{"eight processors, total last", false},
                          TCase{"eight processors, total first", true}}) {
        SCOPED_TRACE(c.name);
        platform::FakePerfDataSource source;
        TPerfCollector collector(source);
        TRawData data;
        std::vector<std::int64_t> idle(8);
        for (std::size_t i = 0; i < idle.size(); ++i)
            idle[i] = static_cast<std::int64_t>(i) * Second / 10;
        for (const std::int64_t time : {std::int64_t{0}, Second}) {
            TInstances instances = Cpus(time == 0 ? std::vector<std::int64_t>(8, 0) : idle);
            if (c.totalFirst)
                std::rotate(instances.rbegin(), instances.rbegin() + 1, instances.rend());
            source.Push("238", platform::ProcessorBlock(time, instances));
            ASSERT_TRUE(collector.ProcessorStep(data, {}));
        }
        // Mean idle share 0.35 of a second.
        EXPECT_FLOAT_EQ(data.ProcUsage[0], 65.0f);
        EXPECT_FLOAT_EQ(data.ProcUsage[1], 100.0f);
        EXPECT_FLOAT_EQ(data.ProcUsage[4], 70.0f);
    }
}

TEST_F(PerfCollectorTest, SamePerfTimeStoresNothing)
{
    ASSERT_TRUE(Processor(Second, Cpus({Second / 2, Second / 2})));
    const TRawData before = Data;
    ASSERT_TRUE(Processor(Second, Cpus({Second, Second})));
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(Data.ProcUsage[i], before.ProcUsage[i]) << i;
}

TEST_F(PerfCollectorTest, UsageStaysWithinZeroAndHundred)
{
    // Idle ticks and the block's clock drift apart by a tick over a short span.
    ASSERT_TRUE(Processor(Second, Cpus({0})));
    ASSERT_TRUE(Processor(2 * Second, Cpus({Second + Second / 20})));
    EXPECT_FLOAT_EQ(Data.ProcUsage[1], 0.0f);
}

TEST_F(PerfCollectorTest, ExclusionSubtractsMatchesInAnyCase)
{
    Source.Push("230", platform::ProcessBlock({{"Chrome", 0}, {"bash", 0}, {"CHROME_gpu", 0}}));
    Source.Push("230",
                platform::ProcessBlock(
                    {{"Chrome", Second / 5}, {"bash", Second}, {"CHROME_gpu", Second / 10}}));
    const auto exclude = SplitCommaText(" chrome ");
    ASSERT_TRUE(Processor(Second, Cpus({Second, Second}), exclude));
    ASSERT_TRUE(Processor(2 * Second, Cpus({Second * 3 / 2, Second * 3 / 2}), exclude));
    // 50 % busy, minus 0.2 s and 0.1 s of two processors' second.
    EXPECT_FLOAT_EQ(Data.ProcUsage[0], 35.0f);
    EXPECT_FLOAT_EQ(Data.ProcUsage[1], 50.0f);
}

TEST_F(PerfCollectorTest, ExclusionHandlesTenProcessesEachOnce)
{
    TInstances before;
    TInstances after;
    for (int i = 1; i <= 11; ++i) {
        before.emplace_back("proc" + std::to_string(i), 0);
        after.emplace_back("proc" + std::to_string(i), Second / 20);
    }
    // "proc1" matches both entries but is one process.
    const std::vector<std::string> exclude{"PROC", "c1"};
    Source.Push("230", platform::ProcessBlock(before));
    Source.Push("230", platform::ProcessBlock(after));
    ASSERT_TRUE(Processor(Second, Cpus({0}), exclude));
    ASSERT_TRUE(Processor(2 * Second, Cpus({0}), exclude));
    EXPECT_FLOAT_EQ(Data.ProcUsage[0], 100.0f - 10 * 5.0f);
}

// Two processor samples one second apart on two processors, with the given idle times of
// the second, and two process samples: only a process present in both counts.
TEST(PerfCollector, ExclusionFollowsProcessesAndStaysWithinRange)
{
    using P = platform::TFakeProcess;
    struct TCase
    {
        const char* name;
        std::vector<P> before;
        std::vector<P> after;
        std::int64_t idle; // of each processor over the second
        float expected;
    };
    const std::vector<TCase> cases{
        {"same process", {{"yes", Second, 7, 5}}, {{"yes", Second * 3 / 2, 7, 5}}, 0, 75.0f},
        {"restarted under a new pid",
         {{"yes", 29 * Second / 10, 7, 5}},
         {{"yes", Second / 10, 8, 90}},
         Second / 2,
         50.0f},
        {"pid reused by a new process",
         {{"yes", 29 * Second / 10, 7, 5}},
         {{"yes", Second / 10, 7, 90}},
         Second / 2,
         50.0f},
        {"one of two ended",
         {{"cc1plus", 0, 3, 1}, {"cc1plus", 0, 4, 1}},
         {{"cc1plus", Second / 2, 4, 1}},
         0,
         75.0f},
        {"more time than the interval", {{"yes", 0, 7, 5}}, {{"yes", 3 * Second, 7, 5}}, 0, 0.0f},
        {"idle counter ran backwards", {{"yes", 0, 7, 5}}, {{"yes", 0, 7, 5}}, -Second / 2, 100.0f},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        platform::FakePerfDataSource source;
        TPerfCollector collector(source);
        TRawData data;
        source.Push("238", platform::ProcessorBlock(Second, Cpus({0, 0})));
        source.Push("238", platform::ProcessorBlock(2 * Second, Cpus({c.idle, c.idle})));
        source.Push("230", platform::IdentifiedProcessBlock(c.before));
        source.Push("230", platform::IdentifiedProcessBlock(c.after));
        const std::vector<std::string> exclude{"yes", "cc1plus"};
        ASSERT_TRUE(collector.ProcessorStep(data, exclude));
        ASSERT_TRUE(collector.ProcessorStep(data, exclude));
        EXPECT_FLOAT_EQ(data.ProcUsage[0], c.expected);
    }
}

TEST_F(PerfCollectorTest, ExclusionThatMatchesNothing)
{
    struct TCase
    {
        const char* name;
        std::string text;
    };
    for (const TCase& c : {TCase{"commas and blanks", " , ,, "}, TCase{"unknown name", "zzz"}}) {
        SCOPED_TRACE(c.name);
        platform::FakePerfDataSource source;
        TPerfCollector collector(source);
        TRawData data;
        source.Push("230", platform::ProcessBlock({{"a", 0}}));
        source.Push("230", platform::ProcessBlock({{"a", Second}}));
        const auto exclude = SplitCommaText(c.text);
        source.Push("238", platform::ProcessorBlock(Second, Cpus({0})));
        source.Push("238", platform::ProcessorBlock(2 * Second, Cpus({Second / 2})));
        ASSERT_TRUE(collector.ProcessorStep(data, exclude));
        ASSERT_TRUE(collector.ProcessorStep(data, exclude));
        EXPECT_FLOAT_EQ(data.ProcUsage[0], 50.0f);
    }
}

TEST_F(PerfCollectorTest, ExclusionWithoutProcessorsDividesByNothing)
{
    Source.Push("230", platform::ProcessBlock({{"a", 0}}));
    Source.Push("230", platform::ProcessBlock({{"a", Second}}));
    ASSERT_TRUE(Processor(Second, {{"_Total", 0}}, {"a"}));
    ASSERT_TRUE(Processor(2 * Second, {{"_Total", Second / 4}}, {"a"}));
    EXPECT_FLOAT_EQ(Data.ProcUsage[0], 75.0f);
}

TEST_F(PerfCollectorTest, MissingProcessBlockFailsTheStep)
{
    EXPECT_FALSE(Processor(Second, Cpus({0}), {"a"}));
}

TEST_F(PerfCollectorTest, NetworkRates)
{
    struct TCase
    {
        const char* name;
        std::uint32_t interval;
        std::uint32_t before;
        std::uint32_t after;
        float expected;
    };
    const TCase cases[] = {
        {"51,200 bytes in 500 ms", 500, 1000, 1000 + 51200, 100.0f},
        {"wrapped past 2^32", 1000, 0xFFFFFC00u, 1024, 2.0f},
        {"reset gives a negative rate", 1000, 1 << 20, 0, -1024.0f},
        {"no traffic", 250, 7, 7, 0.0f},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        platform::FakePerfDataSource source;
        TPerfCollector collector(source);
        TRawData data;
        source.Push("638", platform::NetworkBlock({{"eth0", c.before, c.before}}));
        source.Push("638", platform::NetworkBlock({{"eth0", c.after, 0}}));
        ASSERT_TRUE(collector.NetworkStep(data, c.interval));
        ASSERT_TRUE(collector.NetworkStep(data, c.interval));
        EXPECT_FLOAT_EQ(data.NetRead[1], c.expected);
        EXPECT_FLOAT_EQ(data.NetRead[0], c.expected);
        data.Marker = 'T';
        EXPECT_EQ(RecordCheckFailure(data), std::nullopt);
    }
}

TEST_F(PerfCollectorTest, NetworkExaminesFourInterfacesAndSumsThem)
{
    std::vector<TFakeInterface> interfaces;
    std::vector<TFakeInterface> idle;
    for (std::uint32_t i = 1; i <= 5; ++i) {
        interfaces.push_back({"if" + std::to_string(i), i * 1024, i * 2048});
        idle.push_back({"if" + std::to_string(i), 0, 0});
    }
    ASSERT_TRUE(Network(1000, idle));
    ASSERT_TRUE(Network(1000, interfaces));
    EXPECT_FLOAT_EQ(Data.NetRead[4], 4.0f);
    EXPECT_FLOAT_EQ(Data.NetWrite[2], 4.0f);
    EXPECT_FLOAT_EQ(Data.NetRead[0], 1 + 2 + 3 + 4);
    EXPECT_FLOAT_EQ(Data.NetWrite[0], 2 * (1 + 2 + 3 + 4));
}

TEST_F(PerfCollectorTest, ZeroIntervalKeepsRatesButAdvancesCounters)
{
    ASSERT_TRUE(Network(1000, {{"eth0", 0, 0}}));
    ASSERT_TRUE(Network(1000, {{"eth0", 10240, 0}}));
    ASSERT_TRUE(Network(0, {{"eth0", 20480, 0}}));
    EXPECT_FLOAT_EQ(Data.NetRead[1], 10.0f);
    EXPECT_FLOAT_EQ(Data.NetRead[0], 10.0f);
    ASSERT_TRUE(Network(1000, {{"eth0", 21504, 0}}));
    EXPECT_FLOAT_EQ(Data.NetRead[1], 1.0f);
    EXPECT_FLOAT_EQ(Data.NetRead[0], 1.0f);
}

// Cores past the record's four are read only when asked for, each against its own
// previous sample: a core new in its place has no usage for its first block.
TEST_F(PerfCollectorTest, CoresBeyondFourWhenAsked)
{
    const std::vector<std::int64_t> idle(8, 0);
    std::vector<std::int64_t> later(8, Second / 4);
    later[4] = Second / 10;
    TInstances renamed = Cpus(later);
    renamed[5].first = "9";
    struct TCase
    {
        const char* name;
        bool asked;
        TInstances second;
        std::vector<std::optional<double>> expected;
    };
    const std::optional<double> none;
    const TCase cases[] = {
        {"not asked", false, Cpus(later), {}},
        {"eight cores", true, Cpus(later), {75, 75, 75, 75, 90, 75, 75, 75}},
        {"a core new in its place", true, renamed, {75, 75, 75, 75, 90, none, 75, 75}},
        {"a core gone", true, Cpus({0, 0, 0, 0, 0}), {100, 100, 100, 100, 100}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        platform::FakePerfDataSource source;
        TPerfCollector collector(source);
        collector.SetFigureDetail(
            {.CoresBeyondFour = c.asked, .InterfaceNames = {}, .GpuPlaces = {}});
        source.Push("238", platform::ProcessorBlock(Second, Cpus(idle)));
        ASSERT_TRUE(collector.ProcessorStep(Data, {}));
        EXPECT_EQ(collector.CoreFigures().size(), c.asked ? 8u : 0u);
        for (const TCoreFigure& core : collector.CoreFigures())
            EXPECT_FALSE(core.UsagePercent);
        source.Push("238", platform::ProcessorBlock(2 * Second, c.second));
        ASSERT_TRUE(collector.ProcessorStep(Data, {}));
        std::vector<std::optional<double>> usages;
        for (const TCoreFigure& core : collector.CoreFigures())
            usages.push_back(core.UsagePercent);
        EXPECT_EQ(usages, c.expected);
    }
}

// Interfaces by name: only those named, each from its second block on, past the four too.
TEST_F(PerfCollectorTest, InterfacesByNameWhenNamed)
{
    std::vector<TFakeInterface> before;
    std::vector<TFakeInterface> after;
    for (std::uint32_t i = 1; i <= 6; ++i) {
        before.push_back({"eth" + std::to_string(i), 0, 0});
        after.push_back({"eth" + std::to_string(i), i * 1024, i * 2048});
    }
    after.push_back({"wlan0", 1024, 1024});
    Collector.SetFigureDetail(
        {.CoresBeyondFour = false, .InterfaceNames = {"eth6", "wlan0", "ALL"}, .GpuPlaces = {}});
    ASSERT_TRUE(Network(1000, before));
    ASSERT_TRUE(Network(1000, after));
    const auto& figures = Collector.InterfaceFigures();
    ASSERT_EQ(figures.size(), 2u);
    EXPECT_EQ(figures[0].Name, "eth6");
    EXPECT_EQ(figures[0].ReadKBps, 6.0);
    EXPECT_EQ(figures[0].WriteKBps, 12.0);
    EXPECT_EQ(figures[1].Name, "wlan0");
    EXPECT_FALSE(figures[1].ReadKBps);
    // No time step keeps the last rates; a template that names none reads none.
    ASSERT_TRUE(Network(0, after));
    EXPECT_EQ(Collector.InterfaceFigures()[0].ReadKBps, 6.0);
    Collector.SetFigureDetail({});
    ASSERT_TRUE(Network(1000, after));
    EXPECT_TRUE(Collector.InterfaceFigures().empty());
}

TEST_F(PerfCollectorTest, SystemStepReadsUptimeProcessesAndThreads)
{
    Source.Push("2", platform::SystemBlock(500 * Second, Second, 100 * Second - 1, 312, 70000));
    ASSERT_TRUE(Collector.SystemStep(Data, LastUptime));
    EXPECT_EQ(Data.UptimeSecs, 400);
    EXPECT_EQ(LastUptime, 400);
    EXPECT_EQ(Data.ProcessCount, 312);
    EXPECT_EQ(Data.ThreadCount, static_cast<std::int16_t>(70000 - 65536));
}

TEST_F(PerfCollectorTest, SystemStepSkipsOtherObjectsAndStopsAtThreads)
{
    using platform::TFakeObject;
    namespace t = perf::title;
    const TFakeObject withInstances{
        t::SystemObject, {{t::ProcessCount, 4}}, true, {{"x", {1}}}, {}, 0, 0};
    const TFakeObject otherTitle{7, {{t::ProcessCount, 4}}, false, {}, {2}, 0, 0};
    const TFakeObject system{
        t::SystemObject, {{t::ThreadCount, 4}, {t::ProcessCount, 4}}, false, {}, {50, 60}, 0, 0};
    Source.Push("2", platform::BuildPerfBlock(0, {withInstances, otherTitle, system}));
    ASSERT_TRUE(Collector.SystemStep(Data, LastUptime));
    EXPECT_EQ(Data.ThreadCount, 50);
    EXPECT_EQ(Data.ProcessCount, 0);
}

TEST_F(PerfCollectorTest, SystemStepWithZeroFrequencyKeepsUptime)
{
    Data.UptimeSecs = 9;
    Source.Push("2", platform::SystemBlock(500, 0, 100, 1, 1));
    ASSERT_TRUE(Collector.SystemStep(Data, LastUptime));
    EXPECT_EQ(Data.UptimeSecs, 9);
}

TEST(PerfCollector, MissingOrDamagedBlocksFailEveryStep)
{
    struct TCase
    {
        const char* name;
        std::function<void(std::vector<std::uint8_t>&)> damage;
    };
    const TCase cases[] = {
        {"no block", nullptr},
        {"truncated", [](auto& b) { b.resize(b.size() / 2); }},
        {"no objects", [](auto& b) { platform::PatchU32(b, perf::data_block::NumObjectTypes, 0); }},
        {"object outside",
         [](auto& b) { platform::PatchU32(b, perf::data_block::HeaderLength, 0xFFFFFF00); }},
        {"counter outside its block",
         [](auto& b) {
             platform::PatchU32(
                 b, platform::FirstCounterOffset() + perf::counter_definition::CounterOffset,
                 0x1000);
         }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        platform::FakePerfDataSource source;
        TPerfCollector collector(source);
        TRawData data;
        std::int64_t last = 0;
        if (c.damage) {
            auto processor = platform::ProcessorBlock(Second, Cpus({0}));
            auto network = platform::NetworkBlock({{"eth0", 1, 1}});
            auto system = platform::SystemBlock(10, 1, 1, 1, 1);
            for (auto* block : {&processor, &network, &system})
                c.damage(*block);
            source.Push("238", processor);
            source.Push("638", network);
            source.Push("2", system);
        }
        EXPECT_FALSE(collector.ProcessorStep(data, {}));
        EXPECT_FALSE(collector.NetworkStep(data, 1000));
        EXPECT_FALSE(collector.SystemStep(data, last));
    }
}

TEST_F(PerfCollectorTest, BufferGrowsInStepsAndIsRemembered)
{
    TInstances many;
    for (int i = 0; i < 60; ++i)
        many.emplace_back("process" + std::to_string(i), i);
    const auto block = platform::ProcessorBlock(Second, many);
    ASSERT_GT(block.size(), 3072u);
    ASSERT_LE(block.size(), 4096u);
    Source.Push("238", block);
    ASSERT_TRUE(Collector.ProcessorStep(Data, {}));
    ASSERT_EQ(Source.Calls.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(Source.Calls[i].second, 1024u * (i + 1));
    EXPECT_EQ(Collector.BufferSizes()[0], 4096u);

    // A smaller block later does not shrink the remembered size; the other slots are untouched.
    Source.Push("238", platform::ProcessorBlock(2 * Second, Cpus({0})));
    Source.Calls.clear();
    ASSERT_TRUE(Collector.ProcessorStep(Data, {}));
    ASSERT_EQ(Source.Calls.size(), 1u);
    EXPECT_EQ(Source.Calls[0].second, 4096u);
    EXPECT_EQ(Collector.BufferSizes()[1], 1024u);

    Source.ForceMoreData(2);
    ASSERT_TRUE(Collector.ProcessorStep(Data, {}));
    EXPECT_EQ(Collector.BufferSizes()[0], 4096u + 2048u);
    Collector.ResetBufferSizes();
    EXPECT_EQ(Collector.BufferSizes(),
              (std::array<std::uint32_t, 5>{1024, 1024, 1024, 1024, 1024}));
}

TEST_F(PerfCollectorTest, SourceThatAlwaysWantsMoreFails)
{
    Source.Push("2", platform::SystemBlock(10, 1, 1, 1, 1));
    Source.ForceMoreData(INT_MAX);
    EXPECT_FALSE(Collector.SystemStep(Data, LastUptime));
    EXPECT_LE(Collector.BufferSizes()[3], TPerfCollector::MaxBufferSize);
    EXPECT_LE(Source.Calls.size(), TPerfCollector::MaxBufferSize / 1024);
}

TEST_F(PerfCollectorTest, SourceErrorFails)
{
    Source.Push("638", platform::NetworkBlock({{"eth0", 1, 1}}));
    Source.FailWith(5);
    EXPECT_FALSE(Collector.NetworkStep(Data, 1000));
}

// No rate is made from one sample: a first block, a processor or interface new in its slot
// and a step after a failed read have no value; no interface at all is no traffic.
TEST(PerfCollector, RatesNeedTwoSamplesOfTheSameInstance)
{
    using TIfs = std::vector<TFakeInterface>;
    struct TCase
    {
        const char* name;
        std::vector<TInstances> processors;
        std::vector<TIfs> networks;
        std::array<bool, 5> proc;
        std::array<bool, 5> net;
        float netTotal;
    };
    const TIfs eth{{"eth0", 1u << 30, 1u << 20}};
    const TIfs ethMore{{"eth0", (1u << 30) + 2048, (1u << 20) + 1024}};
    const TCase cases[] = {
        {"first sample",
         {Cpus({Second})},
         {eth},
         {false, false, true, true, true},
         {false, false, true, true, true},
         0},
        {"second sample",
         {Cpus({Second}), Cpus({Second})},
         {eth, ethMore},
         {true, true, true, true, true},
         {true, true, true, true, true},
         2},
        {"instance new in its slot",
         {TInstances{{"0", 0}, {"_Total", 0}}, TInstances{{"1", 0}, {"_Total", 0}}},
         {eth, TIfs{{"wg0", 1u << 31, 0}}},
         {true, false, true, true, true},
         {false, false, true, true, true},
         0},
        {"interface gone",
         {},
         {TIfs{{"eth0", 1u << 30, 1u << 20}, {"eth1", 0, 0}}, eth},
         {},
         {true, true, false, true, true},
         0},
        {"no interface but loopback", {}, {TIfs{}, TIfs{}}, {}, {true, true, true, true, true}, 0},
        {"only loopback from the first", {}, {TIfs{}}, {}, {true, true, true, true, true}, 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        platform::FakePerfDataSource source;
        TPerfCollector collector(source);
        TRawData data;
        for (std::size_t i = 0; i < c.processors.size(); ++i) {
            source.Push("238", platform::ProcessorBlock(static_cast<std::int64_t>(i + 1) * Second,
                                                        c.processors[i]));
            ASSERT_TRUE(collector.ProcessorStep(data, {}));
        }
        for (const TIfs& interfaces : c.networks) {
            source.Push("638", platform::NetworkBlock(interfaces));
            ASSERT_TRUE(collector.NetworkStep(data, 1000));
        }
        if (!c.processors.empty()) {
            EXPECT_EQ(collector.Known().Proc, c.proc);
        }
        EXPECT_EQ(collector.Known().Net, c.net);
        EXPECT_FLOAT_EQ(data.NetRead[0], c.netTotal);
        EXPECT_EQ(collector.NetworkAwaitsSecondSample(), c.networks.size() == 1);
    }
}

// A failed read leaves the step's figures without a value; the next read starts afresh.
TEST_F(PerfCollectorTest, FailedReadForgetsTheSamples)
{
    ASSERT_TRUE(Network(1000, {{"eth0", 0, 0}}));
    ASSERT_TRUE(Network(1000, {{"eth0", 1024, 0}}));
    ASSERT_FLOAT_EQ(Data.NetRead[0], 1.0f);
    Source.FailWith(5);
    EXPECT_FALSE(Collector.NetworkStep(Data, 1000));
    EXPECT_EQ(Data.NetRead[0], 0.0f);
    EXPECT_FALSE(Collector.Known().Net[0]);
    Source.FailWith(0);
    ASSERT_TRUE(Network(1000, {{"eth0", 1u << 30, 0}}));
    EXPECT_FALSE(Collector.Known().Net[0]);
    EXPECT_EQ(Data.NetRead[0], 0.0f);
}

// Blocks with a clock are scaled by the time between them, not by the nominal interval.
TEST_F(PerfCollectorTest, ClockedNetworkBlocksUseTheTimeBetweenThem)
{
    for (const auto& [time, received] :
         {std::pair{Second, 0u}, std::pair{Second + Second / 4, 25600u}}) {
        auto block = platform::BuildPerfBlock(
            time, {{perf::title::NetworkObject,
                    {{perf::title::BytesReceived, 4}, {perf::title::BytesSent, 4}},
                    true,
                    {{"eth0", {received, 0}}},
                    {}}});
        Source.Push("638", block);
        ASSERT_TRUE(Collector.NetworkStep(Data, 1000));
    }
    EXPECT_FLOAT_EQ(Data.NetRead[0], 100.0f);
}

} // namespace
} // namespace statlume
