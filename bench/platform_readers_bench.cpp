// Cost of one read of the GPU, disk, battery and load fixture trees, of the GPU, disk and battery
// collect steps as the collector runs them on every tick, and of one top-process sample of the
// real procfs with 2,000 extra sleeping processes.
#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

#include "collect/beyond_steps.h"
#include "platform/linux/battery_reader.h"
#include "platform/linux/block_devices.h"
#include "platform/linux/disk_stats.h"
#include "platform/linux/gpu_reader.h"
#include "platform/linux/linux_figure_source.h"
#include "platform/linux/load_average.h"
#include "platform/linux/top_processes.h"

#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

namespace statlume::platform {
namespace {

const std::string Data = STATLUME_TEST_DATA;

void GpuRead(benchmark::State& state)
{
    TGpuReader reader(Data + "/sysfs_host", Data + "/procfs_host", "/nonexistent/nvml.so");
    std::int64_t now = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(reader.Read(now += 1'000'000'000));
}
BENCHMARK(GpuRead);

void DiskRead(benchmark::State& state)
{
    TDiskRates rates;
    std::int64_t now = 0;
    for (auto _ : state) {
        const auto disks = ListWholeDisks(Data + "/sysfs_host");
        const auto all = rates.Update(*ReadDiskStats(Data + "/procfs_host"), now += 1'000'000'000);
        benchmark::DoNotOptimize(SumDiskRates(all, disks));
    }
}
BENCHMARK(DiskRead);

void BatteryRead(benchmark::State& state)
{
    TBatteryReader reader(Data + "/sysfs_host");
    std::int64_t now = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(CombineBatteries(reader.Read(now += 1'000'000'000)));
}
BENCHMARK(BatteryRead);

// One tick's disk figures as the collector gets them: the source's read, stamped and with the
// whole disks listed, then the step's rates per device.
void DiskCollectStep(benchmark::State& state)
{
    TLinuxFigureSource source(TSystemRoots{Data + "/procfs_host", Data + "/sysfs_host"});
    TDiskStep step;
    for (auto _ : state)
        benchmark::DoNotOptimize(step.Run(source));
}
BENCHMARK(DiskCollectStep)->Unit(benchmark::kMicrosecond);

// One tick's battery figures as the collector gets them, the batteries together included.
void BatteryCollectStep(benchmark::State& state)
{
    TLinuxFigureSource source(TSystemRoots{Data + "/procfs_host", Data + "/sysfs_host"});
    for (auto _ : state)
        benchmark::DoNotOptimize(BatteryStep(source));
}
BENCHMARK(BatteryCollectStep)->Unit(benchmark::kMicrosecond);

// One tick's GPU figures as the collector gets them: for a template showing the first card
// (Intel, with its clients counted from procfs) or the fourth (amdgpu), and all six as
// /metrics reads them (argument 0).
void GpuCollectStep(benchmark::State& state)
{
    TLinuxFigureSource source(TSystemRoots{Data + "/procfs_host", Data + "/sysfs_host"});
    const auto place = static_cast<std::size_t>(state.range(0));
    const TGpuChoice choice = place == 0 ? TGpuChoice{} : TGpuChoice{false, {place}};
    for (auto _ : state)
        benchmark::DoNotOptimize(GpuStep(source, choice));
}
BENCHMARK(GpuCollectStep)->Arg(1)->Arg(4)->Arg(0)->Unit(benchmark::kMicrosecond);

// One small file: the unit every figure above costs a few of.
void LoadAverageRead(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadLoadAverage(Data + "/procfs_host"));
}
BENCHMARK(LoadAverageRead);

void TopSample(benchmark::State& state)
{
    std::vector<pid_t> sleepers;
    for (int i = 0; i < 2000; ++i) {
        const pid_t child = ::fork();
        if (child == 0) {
            ::alarm(600);
            ::pause();
            ::_exit(0);
        }
        if (child > 0)
            sleepers.push_back(child);
    }
    TTopProcesses top;
    for (auto _ : state)
        benchmark::DoNotOptimize(top.Sample());
    for (const pid_t child : sleepers)
        ::kill(child, SIGKILL);
    for (const pid_t child : sleepers)
        ::waitpid(child, nullptr, 0);
}
BENCHMARK(TopSample)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace statlume::platform

BENCHMARK_MAIN();
