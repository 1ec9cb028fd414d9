#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/linux/file_registry.h"
#include "settings/settings_store.h"

#include <benchmark/benchmark.h>

namespace {

namespace fs = std::filesystem;
using namespace statlume;

const std::string Template =
    "Proc %: <NAME=ProcUsage LEADZERO DECIMAL SIZE=5 FORMAT=\"ALL\">\r\n"
    "Processes: <NAME=Processes SIZE=5>Threads: <NAME=Threads SIZE=5>\r\n"
    "<NAME=Uptime FORMAT=\"*d* days, *H* hrs, *M* mins, *S* secs\" SIZE=20>\r\n"
    "PageUsed: <NAME=PageUsed>/PageTotal: <NAME=PageTotal>\r\n"
    "RAMUsed: <NAME=RAMUsed>/RAMTotal: <NAME=RAMTotal>\r\n"
    "<NAME=DateTime FORMAT=\"'Date' dd/mm/yy 'Time' hh:nn\">\r\n"
    "<NAME=IPAddr>\r\n"
    "<NAME=CompName>";

// A settings folder on the same disk as a user's home, holding a typical file: about 30
// values and the template.
class TTypicalSettings
{
public:
    TTypicalSettings()
    {
        char pattern[] = "/var/tmp/statlume-bench-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) {
            std::abort();
        }
        Folder = pattern;
        platform::TFileRegistry registry(Path(), {});
        TSettingsStore store(registry, TClientSwitches{}, {});
        store.WriteAlpha(200);
        store.WriteAlwaysOnTop(true);
        store.WriteTransparent(false);
        store.WriteFont({"DejaVu Sans Mono", 0xffffff, 10, 2, std::uint8_t{1}});
        store.WriteExclude("idle,kworker");
        store.WriteAlign(1);
        store.WriteServer(6130, false);
        store.WriteFormatString(Template);
        store.WriteDisplayProcInTray(true);
        store.WritePinToDesktop(false);
        store.WriteInterval(1000);
        store.WriteDriveMap("C=/;D=/home");
        TExitState exit;
        exit.Window = TWindowPlacement{};
        for (int i = 0; i < 4; ++i) {
            exit.Window->PlacedLabels.push_back({"FormatLabel" + std::to_string(i), i, 10 * i});
        }
        exit.LastUptimeSecs = 123456;
        store.SaveOnExit(exit);
    }
    ~TTypicalSettings() { fs::remove_all(Folder); }
    TTypicalSettings(const TTypicalSettings&) = delete;
    TTypicalSettings& operator=(const TTypicalSettings&) = delete;

    std::string Path() const { return (Folder / "settings.reg").string(); }

private:
    fs::path Folder;
};

void BM_SettingsWrite(benchmark::State& state)
{
    const TTypicalSettings settings;
    platform::TFileRegistry registry(settings.Path(), {});
    registry.OpenKey(MainSettingsKey, false);
    std::int32_t value = 0;
    for (auto _ : state) {
        registry.WriteInteger("Alpha", ++value & 0xff);
    }
}
BENCHMARK(BM_SettingsWrite)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// Another copy wrote in between, so every write parses the file again under the lock.
void BM_SettingsWriteAfterOtherCopy(benchmark::State& state)
{
    const TTypicalSettings settings;
    platform::TFileRegistry mine(settings.Path(), {});
    platform::TFileRegistry other(settings.Path(), {});
    mine.OpenKey(MainSettingsKey, false);
    other.OpenKey(MainSettingsKey, false);
    std::int32_t value = 0;
    for (auto _ : state) {
        state.PauseTiming();
        other.WriteInteger("Interval", 1000 + (++value & 1));
        state.ResumeTiming();
        mine.WriteInteger("Alpha", value & 0xff);
    }
}
BENCHMARK(BM_SettingsWriteAfterOtherCopy)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// A start: open and parse the file, the version step, every start-up read and the label
// positions of the default template's eight lines.
void BM_StartupReads(benchmark::State& state)
{
    const TTypicalSettings settings;
    for (auto _ : state) {
        platform::TFileRegistry registry(settings.Path(), {});
        TSettingsStore store(registry, TClientSwitches{}, {});
        benchmark::DoNotOptimize(store.ReadStartup());
        for (int i = 0; i < 8; ++i) {
            benchmark::DoNotOptimize(store.ReadLabelPosition("FormatLabel" + std::to_string(i)));
        }
    }
}
BENCHMARK(BM_StartupReads)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
