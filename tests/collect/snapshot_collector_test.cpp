#include <array>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string_view>
#include <vector>

#include "collect/snapshot_collector.h"
#include "platform/fake/fake_figure_source.h"
#include "platform/fake/fake_sensor.h"
#include "platform/fake/fake_system_status.h"
#include "platform/fake/perf_block_builder.h"
#include "record/record_check.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

constexpr std::uint64_t GiB = 1ull << 30;

// A collector over fakes, with the six formatters of a snapshot shell.
class SnapshotCollectorTest : public ::testing::Test
{
protected:
    SnapshotCollectorTest()
    {
        auto block = std::make_unique<platform::TFakeSensorBlock>();
        SensorBlock = block.get();
        Sensors = std::make_unique<TSensorStep>(
            std::move(block),
            std::make_unique<platform::TFakeSensorStarter>(
                platform::TFakeLibraryKind::Missing, std::make_shared<platform::TFakeStarterLog>()),
            [](std::function<void()>) {}, false);
        Collector = std::make_unique<TSnapshotCollector>(Perf, Status, *Sensors);
        Collector->SetFigureSource(Figures);
        Perf.Push("238", platform::ProcessorBlock(1000, {{"0", 100}, {"_Total", 100}}));
        Perf.Push("230", platform::ProcessBlock({{"foo", 10}, {"bar", 20}}));
        Perf.Push("638", platform::NetworkBlock({{"eth0", 1024, 2048}}));
        Perf.Push("2", platform::SystemBlock(50'000'000, 10'000'000, 10'000'000, 123, 4567));
    }

    void Activate(std::set<TFamily> families)
    {
        Families = {};
        for (TFamily family : families)
            Families = Families.With(family);
    }

    // Every record a collection completes must pass a peer's record check.
    bool Collect(bool force = false)
    {
        const bool collected = Collector->CollectSnapshot(Shell, Families, force, 1000);
        if (collected) {
            EXPECT_EQ(RecordCheckFailure(Data()), std::nullopt);
        }
        return collected;
    }

    std::multiset<std::string> QueriedObjects() const
    {
        std::multiset<std::string> objects;
        for (const auto& call : Perf.Calls)
            objects.insert(call.first);
        return objects;
    }

    TRawData& Data() { return Shell.Data; }

    platform::FakePerfDataSource Perf;
    platform::FakeSystemStatus Status;
    platform::TFakeFigureSource Figures;
    platform::TFakeSensorBlock* SensorBlock = nullptr;
    std::unique_ptr<TSensorStep> Sensors;
    TRawDataShell Shell;
    TFamilySet Families;
    std::unique_ptr<TSnapshotCollector> Collector;
};

TEST_F(SnapshotCollectorTest, RunsOnlyTheStepsOfTheFamiliesGiven)
{
    struct TCase
    {
        const char* name;
        std::set<TFamily> active;
        std::multiset<std::string> queries;
        int memoryCalls;
        int addressCalls;
        // Reads of load, disks, batteries and processes.
        std::array<int, 4> figureReads;
    };
    const TCase cases[] = {
        {"none", {}, {}, 0, 0, {0, 0, 0, 0}},
        {"processor", {TFamily::Proc}, {"238"}, 0, 0, {0, 0, 0, 0}},
        {"network", {TFamily::Network}, {"638"}, 0, 0, {0, 0, 0, 0}},
        {"uptime, threads, processes", {TFamily::UTP}, {"2"}, 0, 0, {0, 0, 0, 0}},
        {"memory", {TFamily::PageRAM}, {}, 1, 0, {0, 0, 0, 0}},
        {"host", {TFamily::NonPerf}, {}, 0, 1, {0, 0, 0, 0}},
        {"sensors", {TFamily::MBM}, {}, 0, 0, {0, 0, 0, 0}},
        {"load", {TFamily::Load}, {}, 0, 0, {1, 0, 0, 0}},
        {"disks", {TFamily::Disk}, {}, 0, 0, {0, 1, 0, 0}},
        {"batteries", {TFamily::Battery}, {}, 0, 0, {0, 0, 1, 0}},
        {"top processes", {TFamily::Top}, {}, 0, 0, {0, 0, 0, 1}},
        {"gpus", {TFamily::Gpu}, {}, 0, 0, {0, 0, 0, 0}},
        {"all",
         {TFamily::MBM, TFamily::UTP, TFamily::PageRAM, TFamily::Proc, TFamily::Network,
          TFamily::NonPerf, TFamily::Load, TFamily::Disk, TFamily::Battery, TFamily::Gpu,
          TFamily::Top},
         {"238", "638", "2"},
         1,
         1,
         {1, 1, 1, 1}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        Perf.Calls.clear();
        Status.MemoryCalls = Status.AddressCalls = 0;
        Figures.LoadReads = Figures.DiskReads = Figures.BatteryReads = Figures.TopReads =
            Figures.GpuReads = 0;
        Data() = DecodeRawData(TRawBytes{});
        Activate(c.active);
        ASSERT_TRUE(Collect(true));
        EXPECT_EQ(Data().Marker, 'T');
        EXPECT_EQ(QueriedObjects(), c.queries);
        EXPECT_EQ(Status.MemoryCalls, c.memoryCalls);
        EXPECT_EQ(Status.AddressCalls, c.addressCalls);
        EXPECT_EQ((std::array{Figures.LoadReads, Figures.DiskReads, Figures.BatteryReads,
                              Figures.TopReads}),
                  c.figureReads);
        EXPECT_EQ(Figures.GpuReads, c.active.contains(TFamily::Gpu) ? 1 : 0);
    }
}

// A family left out empties its part of the snapshot, so an item never shows a stale figure.
TEST_F(SnapshotCollectorTest, FiguresBeyondTheRecordAreFilledOnlyWhileActive)
{
    Figures.Load = platform::TLoadAverage{0.5, 1, 2};
    Figures.Disks = platform::TDiskSample{1, {{"sda", 512, 1024}}, {"sda"}};
    Figures.Batteries = {platform::TBattery{}};
    Figures.Top.ByMemory = {{7, "init", 0, 4096}};
    platform::TGpu gpu;
    gpu.Figures.BusyPercent = 37.0;
    Figures.Gpus = {gpu};
    Activate({TFamily::Load, TFamily::Disk, TFamily::Battery, TFamily::Gpu, TFamily::Top});
    ASSERT_TRUE(Collect());
    EXPECT_TRUE(Shell.Beyond.Load.has_value());
    ASSERT_EQ(Shell.Beyond.Disks.size(), 1u);
    EXPECT_TRUE(Shell.Beyond.Disks[0].Whole);
    EXPECT_EQ(Shell.Beyond.Batteries.size(), 1u);
    EXPECT_EQ(Shell.Beyond.TopByMemory.size(), 1u);
    ASSERT_EQ(Shell.Beyond.Gpus.size(), 1u);
    EXPECT_EQ(Shell.Beyond.Gpus[0].BusyPercent, 37.0);
    EXPECT_TRUE(Collector->AwaitingSecondSample());
    // Only the first sample waits: a processor list still empty on the second (a procfs whose
    // clock stands still) must not hold the output back for good.
    Activate({TFamily::Top});
    ASSERT_TRUE(Collect());
    EXPECT_FALSE(Collector->AwaitingSecondSample());
    Activate({TFamily::Proc});
    ASSERT_TRUE(Collect());
    EXPECT_FALSE(Shell.Beyond.Load.has_value());
    EXPECT_TRUE(Shell.Beyond.Disks.empty());
    EXPECT_TRUE(Shell.Beyond.Batteries.empty());
    EXPECT_TRUE(Shell.Beyond.TopByMemory.empty());
    // Their previous sample is dropped, so a processor share never spans the pause.
    EXPECT_EQ(Figures.TopForgets, 1);
    EXPECT_TRUE(Shell.Beyond.Gpus.empty());
}

// Intel's busy share is a rate, so an awake GPU waits one pass each time its step resumes;
// a sleeping one has nothing to wait for.
TEST_F(SnapshotCollectorTest, GpuStepAwaitsASecondSampleOfAnAwakeGpu)
{
    Figures.Gpus = {platform::TGpu{"Intel 0000:00:02.0", "0000:00:02.0", false, {}}};
    struct TPass
    {
        std::set<TFamily> active;
        bool asleep;
        bool awaits;
    };
    const TPass passes[] = {
        {{TFamily::Gpu}, false, true},
        {{TFamily::Gpu}, false, false},
        {{}, false, false},
        {{TFamily::Gpu}, false, true},
        {{}, true, false},
        {{TFamily::Gpu}, true, false},
    };
    for (std::size_t i = 0; i < std::size(passes); ++i) {
        SCOPED_TRACE(i);
        Figures.Gpus[0].Asleep = passes[i].asleep;
        Activate(passes[i].active);
        ASSERT_TRUE(Collect());
        EXPECT_EQ(Collector->AwaitingSecondSample(), passes[i].awaits);
    }
}

TEST_F(SnapshotCollectorTest, SensorStepRunsOnlyWhenActive)
{
    platform::TSensorWords words;
    words.Temps[0] = 45;
    words.Fans[1] = 4500;
    SensorBlock->Words = words;
    Activate({TFamily::Proc});
    ASSERT_TRUE(Collect());
    ASSERT_TRUE(Collect());
    EXPECT_EQ(SensorBlock->Reads, 0);
    Activate({TFamily::MBM});
    // The first sensor step starts the starter and reads nothing; the next one reads.
    ASSERT_TRUE(Collect());
    ASSERT_TRUE(Collect());
    EXPECT_EQ(Data().Temps[0], 45);
    EXPECT_EQ(Data().Fans[1], 4500);
}

TEST_F(SnapshotCollectorTest, CollectAllIgnoresActiveFlags)
{
    Activate({});
    Collector->SetCollectAlways(TFamilySet::All());
    ASSERT_TRUE(Collect());
    EXPECT_EQ(QueriedObjects(), (std::multiset<std::string>{"238", "638", "2"}));
    EXPECT_EQ(Status.MemoryCalls, 1);
    EXPECT_EQ(Status.AddressCalls, 1);
    EXPECT_EQ(Data().ProcessCount, 123);
    // Neither a server's record nor /metrics carries the top lists: no process is read.
    EXPECT_EQ(Figures.TopReads, 0);
}

TEST_F(SnapshotCollectorTest, SlowCycleEveryTenthCollectionAndBufferResetEveryFifty)
{
    Activate({TFamily::UTP, TFamily::NonPerf});
    std::vector<int> slowCycles;
    std::vector<int> resets;
    for (int collection = 1; collection <= 100; ++collection) {
        // Makes the system query grow its buffer on every collection, so a reset shows.
        Perf.ForceMoreData(1);
        const int addressCalls = Status.AddressCalls;
        ASSERT_TRUE(Collect());
        if (Status.AddressCalls != addressCalls)
            slowCycles.push_back(collection);
        if (Collector->PerfCollector().BufferSizes()[3] == TPerfCollector::InitialBufferSize)
            resets.push_back(collection);
    }
    EXPECT_EQ(slowCycles, (std::vector<int>{1, 11, 21, 31, 41, 51, 61, 71, 81, 91}));
    EXPECT_EQ(resets, (std::vector<int>{41, 91}));
}

TEST_F(SnapshotCollectorTest, ForceRunsTheSlowCycle)
{
    Activate({TFamily::NonPerf});
    ASSERT_TRUE(Collect());
    ASSERT_TRUE(Collect());
    EXPECT_EQ(Status.AddressCalls, 1);
    ASSERT_TRUE(Collect(true));
    EXPECT_EQ(Status.AddressCalls, 2);
    EXPECT_EQ(Status.DiskCalls.size(), 0u);
    // The forced run does not move the schedule: collection 11 still runs it.
    for (int collection = 4; collection <= 11; ++collection)
        ASSERT_TRUE(Collect());
    EXPECT_EQ(Status.AddressCalls, 3);
}

TEST_F(SnapshotCollectorTest, LocalTimeOnEveryHostStep)
{
    Activate({TFamily::NonPerf});
    Status.Clock = 37685.5;
    ASSERT_TRUE(Collect());
    Status.Clock = 37685.75;
    ASSERT_TRUE(Collect());
    EXPECT_DOUBLE_EQ(Data().LocalTime, 37685.75);
}

TEST_F(SnapshotCollectorTest, NamesAreFetchedUntilFilledThenNeverAgain)
{
    Activate({TFamily::NonPerf});
    Status.User = "\tuser \r\n";
    ASSERT_TRUE(Collect());
    EXPECT_EQ(Data().ComputerName.Text(), "");
    EXPECT_EQ(Data().LogonName.Text(), "user");
    Status.Computer = "late-name";
    for (int collection = 2; collection <= 31; ++collection)
        ASSERT_TRUE(Collect(collection == 5));
    EXPECT_EQ(Data().ComputerName.Text(), "late-name");
    EXPECT_EQ(Status.ComputerNameCalls, 2); // collection 1, then the forced collection 5
    EXPECT_EQ(Status.UserNameCalls, 1);
}

TEST_F(SnapshotCollectorTest, LongNamesAreCutWithoutSplittingACharacter)
{
    Activate({TFamily::NonPerf});
    Status.Computer =
        "\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84"; // 16 bytes
    Status.User = "a-very-long-user-name";
    ASSERT_TRUE(Collect());
    EXPECT_EQ(Data().ComputerName.Text(),
              "\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84");
    EXPECT_EQ(Data().LogonName.Text(), "a-very-long-use");
}

TEST_F(SnapshotCollectorTest, AddressesAreClearedAndRefilled)
{
    Activate({TFamily::NonPerf});
    std::memset(Data().IPAddrs, 0xFF, sizeof Data().IPAddrs);
    Status.Addresses = {{192, 168, 0, 5}};
    ASSERT_TRUE(Collect());
    const std::uint8_t one[4][4] = {{192, 168, 0, 5}};
    EXPECT_EQ(std::memcmp(Data().IPAddrs, one, sizeof one), 0);

    Status.Addresses = {{10, 0, 0, 1}, {10, 0, 0, 2}, {10, 0, 0, 3}, {10, 0, 0, 4}, {10, 0, 0, 5}};
    ASSERT_TRUE(Collect(true));
    EXPECT_EQ(Data().IPAddrs[3][3], 4);
}

TEST_F(SnapshotCollectorTest, DrivesAreMeasuredThroughTheDriveMap)
{
    Activate({TFamily::NonPerf});
    Collector->SetDriveMap(ParseDriveMap("C=/;D=/home"));
    Status.Disks["/"] = {GiB, 2 * GiB};
    Status.Disks["/home"] = {1572864, 3145728};
    Data().Drives[0].Letter = 'C';
    Data().Drives[1].Letter = 'D';
    Data().Drives[2].Letter = 'Q';
    Data().Drives[2].FreeMB = Data().Drives[2].TotalMB = 7;
    Data().Drives[4].FreeMB = 9; // a free slot keeps whatever it holds
    ASSERT_TRUE(Collect());
    EXPECT_EQ(Status.DiskCalls, (std::vector<std::string>{"/", "/home"}));
    EXPECT_FLOAT_EQ(Data().Drives[0].FreeMB, 1024.0f);
    EXPECT_FLOAT_EQ(Data().Drives[0].TotalMB, 2048.0f);
    EXPECT_FLOAT_EQ(Data().Drives[1].FreeMB, 1.5f);
    EXPECT_FLOAT_EQ(Data().Drives[1].TotalMB, 3.0f);
    EXPECT_EQ(Data().Drives[2].FreeMB, 0.0f);
    EXPECT_EQ(Data().Drives[2].TotalMB, 0.0f);
    EXPECT_EQ(Data().Drives[4].FreeMB, 9.0f);
}

// A server's clients may show any drive of its map, whatever its own template names.
TEST_F(SnapshotCollectorTest, CollectingAllEntersAndMeasuresEveryMappedDrive)
{
    const std::map<char, std::uint64_t> totalMB = {{'Q', 0}, {'C', 2048}, {'D', 4096}, {'E', 8192}};
    Collector->SetDriveMap(ParseDriveMap("C=/;D=/home;E=/srv"));
    Status.Disks["/"] = {GiB, 2 * GiB};
    Status.Disks["/home"] = {GiB, 4 * GiB};
    Status.Disks["/srv"] = {GiB, 8 * GiB};
    // The letters entered, each checked to hold its own drive's size.
    const auto entered = [&] {
        std::string letters;
        for (const TDriveEntry& drive : Data().Drives) {
            if (drive.Letter == 0)
                continue;
            letters += drive.Letter;
            EXPECT_FLOAT_EQ(drive.TotalMB, static_cast<float>(totalMB.at(drive.Letter)))
                << drive.Letter;
        }
        return letters;
    };
    struct TCase
    {
        const char* name;
        bool collectAll;
        std::string first;
        std::string afterClear;
    };
    const TCase cases[] = {
        {"server: the template's drives, then the map's", true, "QDCE", "CDE"},
        {"monitor: the template's drives only", false, "QD", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Activate({TFamily::NonPerf});
        Collector->SetCollectAlways(c.collectAll ? TFamilySet::RecordFamilies() : TFamilySet());
        for (TDriveEntry& drive : Data().Drives)
            drive = {};
        Data().Drives[0].Letter = 'Q';
        Data().Drives[1].Letter = 'D';
        ASSERT_TRUE(Collect(true));
        EXPECT_EQ(entered(), c.first);
        // A template set again clears the letters; the next pass, a fast one, enters them
        // again with their own sizes, not those their slots held.
        for (TDriveEntry& drive : Data().Drives)
            drive.Letter = 0;
        ASSERT_TRUE(Collect());
        EXPECT_EQ(entered(), c.afterClear);
    }
}

TEST_F(SnapshotCollectorTest, MemoryAbove4GiBKeepsItsHighBits)
{
    Activate({TFamily::PageRAM});
    Status.Memory = platform::TMemoryStatus{64 * GiB + 5, 5 * GiB + 7, 6 * GiB, 4 * GiB + 1};
    ASSERT_TRUE(Collect());
    EXPECT_EQ(RAMTotalBytes64(Data()), 64 * GiB + 5);
    EXPECT_EQ(RAMFreeBytes64(Data()), 5 * GiB + 7);
    EXPECT_EQ(PageTotalBytes64(Data()), 6 * GiB);
    EXPECT_EQ(PageFreeBytes64(Data()), 4 * GiB + 1);
    EXPECT_EQ(Data().RAMTotalBytes, 5u);

    // An unreadable status keeps the last figures.
    Status.Memory.reset();
    ASSERT_TRUE(Collect());
    EXPECT_EQ(RAMTotalBytes64(Data()), 64 * GiB + 5);
}

TEST_F(SnapshotCollectorTest, FailingStepLeavesItsFiguresWithoutValue)
{
    struct TCase
    {
        const char* name;
        const char* object;
        bool proc;
        bool net;
        bool system;
    };
    const TCase cases[] = {
        {"processor", "238", false, true, true},
        {"network", "638", true, false, true},
        {"system", "2", true, true, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        platform::FakePerfDataSource perf;
        // A block shorter than any header stands for missing or malformed performance data.
        const std::map<std::string, std::vector<std::uint8_t>> blocks{
            {"238", platform::ProcessorBlock(1000, {{"0", 100}, {"_Total", 100}})},
            {"638", platform::NetworkBlock({{"eth0", 1024, 2048}})},
            {"2", platform::SystemBlock(50'000'000, 10'000'000, 10'000'000, 123, 4567)}};
        for (const auto& [object, block] : blocks)
            perf.Push(object, object == c.object ? std::vector<std::uint8_t>{1, 2, 3} : block);
        if (std::string_view(c.object) != "238")
            perf.Push("238", platform::ProcessorBlock(2000, {{"0", 100}, {"_Total", 100}}));
        TSnapshotCollector collector(perf, Status, *Sensors);
        Activate(
            {TFamily::Proc, TFamily::Network, TFamily::UTP, TFamily::PageRAM, TFamily::NonPerf});
        Data() = DecodeRawData(TRawBytes{});
        Status.Clock = 40000;
        const int memoryCalls = Status.MemoryCalls;
        // Every step runs on both passes; the second gives the rates their second sample.
        EXPECT_FALSE(collector.CollectSnapshot(Shell, Families, true, 1000));
        EXPECT_FALSE(collector.CollectSnapshot(Shell, Families, false, 1000));
        EXPECT_NE(collector.CollectionProblem().find("malformed"), std::string::npos);
        EXPECT_EQ(Shell.Known.Proc[0], c.proc);
        EXPECT_EQ(Shell.Known.Net[0], c.net);
        EXPECT_EQ(Shell.Known.System, c.system);
        EXPECT_EQ(Status.MemoryCalls, memoryCalls + 2);
        EXPECT_NE(Data().LocalTime, 0.0);
    }
}

// The first collection of a rate family waits for a second; a family left out starts afresh.
TEST_F(SnapshotCollectorTest, RateFamiliesAwaitTheirSecondSample)
{
    Activate({TFamily::UTP});
    ASSERT_TRUE(Collect());
    EXPECT_FALSE(Collector->AwaitingSecondSample());
    Activate({TFamily::Network});
    ASSERT_TRUE(Collect());
    EXPECT_TRUE(Collector->AwaitingSecondSample());
    EXPECT_FALSE(Shell.Known.Net[1]);
    Perf.Push("638", platform::NetworkBlock({{"eth0", 2048, 2048}}));
    ASSERT_TRUE(Collect());
    EXPECT_FALSE(Collector->AwaitingSecondSample());
    EXPECT_TRUE(Shell.Known.Net[1]);
    Activate({TFamily::Proc});
    ASSERT_TRUE(Collect());
    Activate({TFamily::Proc, TFamily::Network});
    ASSERT_TRUE(Collect());
    EXPECT_TRUE(Collector->AwaitingSecondSample());
}

TEST_F(SnapshotCollectorTest, QueryErrorIsAFailure)
{
    Activate({TFamily::Proc});
    Perf.FailWith(5);
    EXPECT_FALSE(Collect());
}

TEST_F(SnapshotCollectorTest, ExclusionQueriesProcessesOnlyWithExcludeText)
{
    Activate({TFamily::Proc});
    Collector->SetExcludeText("foo, \"b a r\"");
    EXPECT_EQ(Collector->ExcludeList(), (std::vector<std::string>{"foo", "b a r"}));
    ASSERT_TRUE(Collect());
    EXPECT_EQ(QueriedObjects(), (std::multiset<std::string>{"238", "230"}));

    Collector->SetExcludeText("");
    EXPECT_TRUE(Collector->ExcludeList().empty());
    Perf.Calls.clear();
    Perf.Push("238", platform::ProcessorBlock(2000, {{"0", 200}, {"_Total", 200}}));
    ASSERT_TRUE(Collect());
    EXPECT_EQ(QueriedObjects(), (std::multiset<std::string>{"238"}));
}

TEST_F(SnapshotCollectorTest, SystemStepKeepsTheLastUptime)
{
    Activate({TFamily::UTP});
    EXPECT_EQ(Collector->LastUptimeSecs(), 0);
    ASSERT_TRUE(Collect());
    EXPECT_GT(Data().UptimeSecs, 0);
    EXPECT_EQ(Collector->LastUptimeSecs(), Data().UptimeSecs);
}

} // namespace
} // namespace statlume
