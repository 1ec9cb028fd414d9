#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "collect/perf_collector.h"
#include "collect/perf_walker.h"
#include "platform/linux/proc_file.h"
#include "platform/linux/proc_perf_data_source.h"
#include "platform/linux/process_counter.h"
#include "platform/perf_layout.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace statlume::platform {
namespace {

constexpr std::int64_t Second = 10'000'000;

std::string Fixture(const char* name)
{
    return std::string(STATLUME_TEST_DATA) + "/" + name;
}

std::int64_t HundredNsPerTick()
{
    return Second / ::sysconf(_SC_CLK_TCK);
}

// Queries index with a buffer large enough and reads the first object into object.
struct TQueried
{
    std::vector<std::uint8_t> Bytes;
    std::int64_t PerfTime100ns = 0;
    TPerfObject Object;
};

bool QueryObject(PerfDataSource& source, const char* index, TQueried& out)
{
    out.Bytes.assign(1 << 20, 0);
    std::uint32_t size = static_cast<std::uint32_t>(out.Bytes.size());
    if (source.Query(index, out.Bytes.data(), size) != ErrorSuccess)
        return false;
    out.Bytes.resize(size);
    const auto block = TPerfBlock::Open(out.Bytes);
    if (!block)
        return false;
    out.PerfTime100ns = block->PerfTime100nSec();
    return block->ReadObject(block->FirstObjectOffset(), out.Object);
}

class ProcPerfDataSourceTest : public ::testing::Test
{
protected:
    std::int64_t Now = 1234 * Second;
    TProcPerfDataSource Source{Fixture("proc_two_cpus"), [this] { return Now; }};
    TQueried Result;
};

TEST_F(ProcPerfDataSourceTest, ProcessorBlockHasEveryCpuThenTotal)
{
    ASSERT_TRUE(QueryObject(Source, "238", Result));
    const TPerfObject& object = Result.Object;
    EXPECT_EQ(Result.PerfTime100ns, Now);
    EXPECT_EQ(object.TitleIndex, perf::title::ProcessorObject);
    ASSERT_EQ(object.BlockCount(), 3u);
    ASSERT_EQ(object.Counters.size(), 1u);
    EXPECT_EQ(object.Counters[0].TitleIndex, perf::title::IdleTime);
    EXPECT_EQ(object.InstanceName(0), "0");
    EXPECT_EQ(object.InstanceName(1), "1");
    EXPECT_EQ(object.InstanceName(2), "_Total");
    const std::int64_t tick = HundredNsPerTick();
    EXPECT_EQ(object.Value64(0, object.Counters[0]), 4050 * tick);
    EXPECT_EQ(object.Value64(1, object.Counters[0]), 5050 * tick);
    EXPECT_EQ(object.Value64(2, object.Counters[0]), 4550 * tick);
}

TEST_F(ProcPerfDataSourceTest, NetworkBlockLeavesOutLoopbackAndWraps)
{
    ASSERT_TRUE(QueryObject(Source, "638", Result));
    const TPerfObject& object = Result.Object;
    ASSERT_EQ(object.BlockCount(), 2u);
    EXPECT_EQ(object.InstanceName(0), "eth0");
    EXPECT_EQ(object.InstanceName(1), "wlan0");
    ASSERT_EQ(object.Counters.size(), 2u);
    EXPECT_EQ(object.Counters[0].TitleIndex, perf::title::BytesReceived);
    EXPECT_EQ(object.Counters[1].TitleIndex, perf::title::BytesSent);
    EXPECT_EQ(object.Value32(0, object.Counters[0]), 1024u); // 4294968320 - 2^32
    EXPECT_EQ(object.Value32(0, object.Counters[1]), 51200u);
    EXPECT_EQ(object.Value32(1, object.Counters[1]), 2048u);
}

TEST_F(ProcPerfDataSourceTest, SystemBlockGivesUptimeProcessesAndThreads)
{
    TRawData data;
    std::int64_t last = 0;
    TPerfCollector collector(Source);
    ASSERT_TRUE(collector.SystemStep(data, last));
    EXPECT_EQ(data.UptimeSecs, 12345);
    EXPECT_EQ(last, 12345);
    EXPECT_EQ(data.ProcessCount, 2);
    EXPECT_EQ(data.ThreadCount, static_cast<std::int16_t>(70000 - 65536));
}

TEST_F(ProcPerfDataSourceTest, ProcessBlockNamesEachProcess)
{
    ASSERT_TRUE(QueryObject(Source, "230", Result));
    const TPerfObject& object = Result.Object;
    ASSERT_EQ(object.BlockCount(), 2u);
    // Directory order is not sorted; find each by name.
    // Processor time, pid and start time of each.
    std::map<std::string, std::vector<std::int64_t>> values;
    ASSERT_EQ(object.Counters.size(), 3u);
    for (std::size_t i = 0; i < object.BlockCount(); ++i)
        for (const TPerfCounterDef& counter : object.Counters)
            values[std::string(object.InstanceName(i))].push_back(*object.Value64(i, counter));
    const std::int64_t tick = HundredNsPerTick();
    EXPECT_EQ(values["systemd"], (std::vector<std::int64_t>{400 * tick, 1, 30 * tick}));
    EXPECT_EQ(values["my (odd) prog"], (std::vector<std::int64_t>{10 * tick, 42, 500 * tick}));
}

TEST_F(ProcPerfDataSourceTest, SmallBufferGetsMoreDataAndSizeIsKept)
{
    std::vector<std::uint8_t> buffer(16);
    std::uint32_t size = 16;
    EXPECT_EQ(Source.Query("238", buffer.data(), size), ErrorMoreData);
    EXPECT_EQ(size, 16u);
    buffer.resize(4096);
    size = 4096;
    ASSERT_EQ(Source.Query("238", buffer.data(), size), ErrorSuccess);
    EXPECT_LT(size, 4096u);
    buffer.resize(size);
    EXPECT_TRUE(TPerfBlock::Open(buffer));
}

TEST(TProcPerfDataSource, MissingFilesAndUnknownIndexFail)
{
    TProcPerfDataSource source(Fixture("no_such_proc"));
    std::vector<std::uint8_t> buffer(4096);
    // The problem names the file and the reason, for the message the user gets.
    const std::pair<const char*, const char*> cases[] = {
        {"238", "cannot read " STATLUME_TEST_DATA "/no_such_proc/stat: No such file"},
        {"230", "cannot list the processes in " STATLUME_TEST_DATA "/no_such_proc: "},
        {"638", "cannot read " STATLUME_TEST_DATA "/no_such_proc/net/dev: No such file"},
        {"2", "cannot read " STATLUME_TEST_DATA "/no_such_proc/uptime: No such file"},
        {"999", ""},
    };
    for (const auto& [index, problem] : cases) {
        SCOPED_TRACE(index);
        std::uint32_t size = 4096;
        const long result = source.Query(index, buffer.data(), size);
        EXPECT_NE(result, ErrorSuccess);
        EXPECT_NE(result, ErrorMoreData);
        if (*problem != '\0') {
            EXPECT_EQ(source.LastProblem().rfind(problem, 0), 0u) << source.LastProblem();
        }
    }
}

// With no network device but loopback (a container, `unshare -n`) the network figures are
// no traffic, not a failure.
TEST(TProcPerfDataSource, OnlyLoopbackIsNoTraffic)
{
    std::int64_t now = Second;
    TProcPerfDataSource source(Fixture("proc_loopback_only"), [&now] { return now; });
    TQueried result;
    ASSERT_TRUE(QueryObject(source, "638", result));
    EXPECT_EQ(result.Object.BlockCount(), 0u);
    TPerfCollector collector(source);
    TRawData data;
    data.NetRead[0] = 5;
    for (int step = 0; step < 2; ++step, now += Second)
        ASSERT_TRUE(collector.NetworkStep(data, 1000));
    EXPECT_EQ(data.NetRead[0], 0.0f);
    EXPECT_TRUE(collector.Known().Net[0]);
}

TEST(TProcPerfDataSource, CollectorReachesTotalOnEightCpus)
{
    std::int64_t now = Second;
    TProcPerfDataSource source(Fixture("proc_eight_cpus"), [&now] { return now; });
    TPerfCollector collector(source);
    TRawData data;
    ASSERT_TRUE(collector.ProcessorStep(data, {}));
    now += Second;
    ASSERT_TRUE(collector.ProcessorStep(data, {}));
    // The fixture does not change, so every processor looks fully busy over the second.
    for (int i = 0; i < 5; ++i)
        EXPECT_FLOAT_EQ(data.ProcUsage[i], 100.0f) << i;
}

TEST(TProcPerfDataSource, RealProcWalks)
{
    std::ifstream stat("/proc/stat");
    std::size_t cpuLines = 0;
    for (std::string line; std::getline(stat, line);)
        if (line.size() > 3 && line.starts_with("cpu") && std::isdigit(line[3]))
            ++cpuLines;
    ASSERT_GT(cpuLines, 0u);
    EXPECT_LE(static_cast<long>(cpuLines), ::sysconf(_SC_NPROCESSORS_CONF));

    TProcPerfDataSource source;
    TQueried result;
    ASSERT_TRUE(QueryObject(source, "238", result));
    EXPECT_EQ(result.Object.BlockCount(), cpuLines + 1);
    EXPECT_EQ(result.Object.InstanceName(cpuLines), "_Total");
    ASSERT_TRUE(QueryObject(source, "230", result));
    bool foundSelf = false;
    for (std::size_t i = 0; i < result.Object.BlockCount(); ++i)
        foundSelf = foundSelf || result.Object.Value64(i, result.Object.Counters[1]) == ::getpid();
    EXPECT_TRUE(foundSelf);
    ASSERT_TRUE(QueryObject(source, "638", result));

    TPerfCollector collector(source);
    TRawData data;
    std::int64_t last = 0;
    EXPECT_TRUE(collector.ProcessorStep(data, {"statlume"}));
    EXPECT_TRUE(collector.NetworkStep(data, 1000));
    ASSERT_TRUE(collector.SystemStep(data, last));
    EXPECT_GT(data.UptimeSecs, 0);
    EXPECT_GT(data.ProcessCount, 0);
}

TEST(TProcPerfDataSource, RealUptimeAgreesWithProcUptime)
{
    auto fileUptime = [] {
        std::ifstream file("/proc/uptime");
        double seconds = 0;
        file >> seconds;
        return static_cast<std::int64_t>(seconds);
    };
    TProcPerfDataSource source;
    TPerfCollector collector(source);
    TRawData data;
    std::int64_t last = 0;
    const std::int64_t before = fileUptime();
    ASSERT_TRUE(collector.SystemStep(data, last));
    const std::int64_t after = fileUptime();
    EXPECT_GE(data.UptimeSecs, before);
    EXPECT_LE(data.UptimeSecs, after);
}

TEST(TProcPerfDataSource, RealProcessCountAgreesWithAListing)
{
    TProcDirectory proc("/proc");
    auto list = [&proc] {
        int count = 0;
        EXPECT_TRUE(proc.ForEachNumeric([&count](std::string_view) { ++count; }));
        return count;
    };
    TProcPerfDataSource source;
    TPerfCollector collector(source);
    TRawData data;
    std::int64_t last = 0;
    // Enough queries to pass through a calibration, the fast counts and the next calibration.
    for (int query = 0; query < 2 * TProcessCounter::FastCountsPerCalibration + 3; ++query) {
        SCOPED_TRACE(query);
        const int before = list();
        ASSERT_TRUE(collector.SystemStep(data, last));
        const int after = list();
        // Other work on the machine starts and ends processes meanwhile.
        constexpr int Tolerance = 3;
        EXPECT_GE(data.ProcessCount + Tolerance, std::min(before, after));
        EXPECT_LE(data.ProcessCount, std::max(before, after) + Tolerance);
    }
}

} // namespace
} // namespace statlume::platform
