// Cost of one console update on the real machine, against the bare cost of its reads.
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "collect/snapshot_collector.h"
#include "format/default_template.h"
#include "format/tag_language.h"
#include "platform/fake/fake_sensor.h"
#include "platform/linux/linux_system_status.h"
#include "platform/linux/proc_file.h"
#include "platform/linux/proc_perf_data_source.h"
#include "platform/linux/shm_sensor_block.h"
#include "platform/linux/unique_fd.h"

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace statlume {
namespace {

std::unique_ptr<TSensorStep> MakeSensorStep()
{
    return std::make_unique<TSensorStep>(
        std::make_unique<platform::TShmSensorBlock>(),
        std::make_unique<platform::TFakeSensorStarter>(
            platform::TFakeLibraryKind::Missing, std::make_shared<platform::TFakeStarterLog>()),
        [](std::function<void()>) {}, false);
}

// (a) Every family collected with the slow host items forced, then the default template
// rendered, as one console update does at worst.
void FullCollectionAndRender(benchmark::State& state)
{
    platform::TProcPerfDataSource perf;
    platform::TLinuxSystemStatus status;
    const auto sensors = MakeSensorStep();
    TSnapshotCollector collector(perf, status, *sensors);
    collector.SetCollectAlways(TFamilySet::All());
    TRawDataShell shell;
    const LocaleInfo locale;
    const TFormatterList formatters = CreateFormatters(shell, locale);
    const std::string templateText = ComposeDefaultTemplate(formatters);
    DecideAllActive(formatters, templateText);
    for (const auto& formatter : formatters)
        formatter->Active = true;
    const std::vector<std::string> lines = SplitTemplateLines(templateText);
    shell.Data.Drives[0].Letter = 'C';

    for (auto _ : state) {
        if (!collector.CollectSnapshot(shell, TFamilySet::All(), true, 1000))
            state.SkipWithError("collection failed");
        std::size_t size = 0;
        for (const std::string& line : lines)
            size += RenderLine(formatters, line).size();
        benchmark::DoNotOptimize(size);
    }
}

// The sources of one update read with no parsing: the limit any collector has to pay.
class TBareReads
{
public:
    void Read(bool slowItems)
    {
        for (platform::TProcFile* file : {&Stat, &NetDev, &LoadAvg, &MemInfo})
            benchmark::DoNotOptimize(file->Read());
        CountProcesses();
        timespec boot{};
        benchmark::DoNotOptimize(clock_gettime(CLOCK_BOOTTIME, &boot));
        if (slowItems) {
            ReadAddresses();
            struct statvfs fs
            {
            };
            benchmark::DoNotOptimize(statvfs("/", &fs));
        }
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        tm local{};
        benchmark::DoNotOptimize(localtime_r(&now.tv_sec, &local));
        benchmark::DoNotOptimize(Sensors.Read());
    }

private:
    // The cheapest exact process count: the link count of /proc (processes plus a constant).
    void CountProcesses()
    {
        struct stat info
        {
        };
        benchmark::DoNotOptimize(fstat(Proc.Get(), &info));
    }

    void ReadAddresses()
    {
        ifreq requests[16]{};
        ifconf config{};
        config.ifc_len = sizeof requests;
        config.ifc_req = requests;
        benchmark::DoNotOptimize(ioctl(Socket.Get(), SIOCGIFCONF, &config));
    }

    platform::TUniqueFd Proc{open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    platform::TUniqueFd Socket{socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)};
    platform::TProcFile Stat{"/proc/stat"};
    platform::TProcFile NetDev{"/proc/net/dev"};
    platform::TProcFile LoadAvg{"/proc/loadavg"};
    platform::TProcFile MemInfo{"/proc/meminfo"};
    platform::TShmSensorBlock Sensors;
};

// (b) The bare reads with the slow host items on every update, as (a) forces them.
void BareReadsEveryItem(benchmark::State& state)
{
    TBareReads reads;
    for (auto _ : state)
        reads.Read(true);
}

// (c) The bare reads with the slow host items one update in ten, as the steady state runs.
void BareReadsSlowItemsOneInTen(benchmark::State& state)
{
    TBareReads reads;
    int tick = 0;
    for (auto _ : state)
        reads.Read(++tick % 10 == 0);
}

// (d) The process block the exclusion reads: one /proc/PID/stat per process.
void ExclusionProcessScan(benchmark::State& state)
{
    platform::TProcPerfDataSource perf;
    std::vector<std::uint8_t> buffer(1 << 20);
    for (auto _ : state) {
        std::uint32_t size = static_cast<std::uint32_t>(buffer.size());
        if (perf.Query("230", buffer.data(), size) != platform::ErrorSuccess)
            state.SkipWithError("process query failed");
    }
}

BENCHMARK(FullCollectionAndRender)->Unit(benchmark::kMicrosecond);
BENCHMARK(BareReadsEveryItem)->Unit(benchmark::kMicrosecond);
BENCHMARK(BareReadsSlowItemsOneInTen)->Unit(benchmark::kMicrosecond);
BENCHMARK(ExclusionProcessScan)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace statlume

BENCHMARK_MAIN();
