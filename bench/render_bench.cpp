// Cost of one full render of the window's lines from a filled snapshot: the default template
// (eight lines) and a template that uses all 24 items, as text and as a window tick renders
// them into runs. Allocations are counted through a replaced global operator new, to show that
// repeated renders do not grow memory.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "format/default_template.h"
#include "format/formatter.h"
#include "format/run_renderer.h"
#include "format/tag_language.h"
#include "record/raw_data.h"
#include "record/raw_data_shell.h"

#include <benchmark/benchmark.h>

namespace {

// Counters for the replaced operator new; the benchmark runs on one thread.
std::size_t AllocationCount = 0;
std::size_t AllocatedBytes = 0;

} // namespace

void* operator new(std::size_t size)
{
    ++AllocationCount;
    AllocatedBytes += size;
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}

// GCC pairs inlined new-expressions with these and warns, though new above uses malloc.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
#pragma GCC diagnostic pop

namespace {

using namespace statlume;

TRawData FilledRecord()
{
    TRawData d;
    d.Marker = 'T';
    d.Drives[0] = {'C', {}, 476940.5f, 12345.6f};
    for (int i = 0; i < 5; ++i) {
        d.ProcUsage[i] = 7.25f + static_cast<float>(i) * 11.5f;
        d.NetRead[i] = 3.5f * static_cast<float>(i + 1);
        d.NetWrite[i] = 1234.567f / static_cast<float>(i + 1);
    }
    SetMemoryBytes(d, 1u << 30, 4ull << 30, 3ull << 30, 16ull << 30);
    d.UptimeSecs = 93784;
    d.ThreadCount = 312;
    d.ProcessCount = 42;
    d.LocalTime = 37685 + 847.0 / 1440.0;
    const std::uint8_t addresses[2][4] = {{192, 168, 0, 5}, {10, 0, 0, 1}};
    for (int i = 0; i < 2; ++i) {
        for (int j = 0; j < 4; ++j)
            d.IPAddrs[i][j] = addresses[i][j];
    }
    d.ComputerName.Assign("BENCHHOST");
    d.LogonName.Assign("bench");
    d.Temps[0] = 45;
    d.Temps[1] = 46;
    d.Fans[0] = 4500;
    return d;
}

constexpr const char* AllItemsTemplate =
    "Temp: <NAME=Temp1 FORMAT=\"F\">\xC2\xBA <NAME=Temp2> <NAME=Temp3 FORMAT=\"C\">\r\n"
    "Fans: <NAME=Fan1> <NAME=Fan2> <NAME=Fan3>\r\n"
    "<NAME=Uptime FORMAT=\"*d* days, *H* hrs, *M* mins, *S* secs\" SIZE=20>\r\n"
    "Threads: <NAME=Threads SIZE=5> Processes: <NAME=Processes SIZE=5>\r\n"
    "Page <NAME=PageUsed>/<NAME=PageFree FORMAT=\"%\">/<NAME=PageTotal DECIMAL>\r\n"
    "RAM <NAME=RAMUsed FORMAT=\"%\" DECIMAL>/<NAME=RAMFree>/<NAME=RAMTotal>\r\n"
    "Proc %: <NAME=ProcUsage LEADZERO DECIMAL SIZE=5 FORMAT=\"ALL\"> <NAME=ProcUsage "
    "FORMAT=\"1\">\r\n"
    "Net <NAME=NetRead LEADZERO DECIMAL SIZE=5 FORMAT=\"ALL\"> <NAME=NetWrite FORMAT=\"b\">\r\n"
    "<NAME=IPAddr FORMAT=\" | \"> <NAME=CompName> <NAME=UserName>\r\n"
    "<NAME=DateTime FORMAT=\"'Date' dd/mm/yy 'Time' hh:nn\"><NAME=Blank SIZE=3 CHAR=.>"
    "<NAME=DriveSpace SIZE=8 FORMAT=\"C FREE\" DECIMAL>";

class TRenderFixture
{
public:
    explicit TRenderFixture(bool allItems)
        : Formatters(CreateFormatters(Shell, Locale))
    {
        Shell.Data = FilledRecord();
        const std::string text = allItems ? AllItemsTemplate : ComposeDefaultTemplate(Formatters);
        Lines = SplitTemplateLines(text);
        DecideAllActive(Formatters, text);
        Render(); // registers the drive letter
        Shell.Data.Drives[0] = FilledRecord().Drives[0];
        Runs.SetLines(Lines);
    }

    // One window tick: every line into runs through the renderer the labels keep.
    std::size_t Tick()
    {
        NowMs += 1000;
        std::size_t total = 0;
        for (std::size_t i = 0; i < Runs.LineCount(); ++i) {
            const TRunLine line = Runs.Render(Formatters, i, NowMs, true);
            benchmark::DoNotOptimize(line.Runs.data());
            total += line.Runs.size();
        }
        return total;
    }

    std::size_t Render()
    {
        std::size_t total = 0;
        for (const std::string& line : Lines) {
            const std::string caption = RenderLine(Formatters, line);
            benchmark::DoNotOptimize(caption.data());
            total += caption.size();
        }
        return total;
    }

    LocaleInfo Locale;
    TRawDataShell Shell;
    TFormatterList Formatters;
    std::vector<std::string> Lines;
    TRunRenderer Runs;
    std::int64_t NowMs = 0;
};

void RunRenders(benchmark::State& state, bool allItems)
{
    TRenderFixture fixture(allItems);
    std::size_t minBytes = SIZE_MAX;
    std::size_t maxBytes = 0;
    std::size_t allocations = 0;
    for (auto _ : state) {
        const std::size_t countBefore = AllocationCount;
        const std::size_t bytesBefore = AllocatedBytes;
        benchmark::DoNotOptimize(fixture.Render());
        const std::size_t bytes = AllocatedBytes - bytesBefore;
        allocations = AllocationCount - countBefore;
        minBytes = std::min(minBytes, bytes);
        maxBytes = std::max(maxBytes, bytes);
    }
    state.counters["lines"] = static_cast<double>(fixture.Lines.size());
    state.counters["allocs_per_render"] = static_cast<double>(allocations);
    state.counters["bytes_per_render_min"] = static_cast<double>(minBytes);
    state.counters["bytes_per_render_max"] = static_cast<double>(maxBytes);
}

void BM_RenderDefaultTemplate(benchmark::State& state)
{
    RunRenders(state, false);
}
BENCHMARK(BM_RenderDefaultTemplate);

void BM_RenderAllItems(benchmark::State& state)
{
    RunRenders(state, true);
}
BENCHMARK(BM_RenderAllItems);

void RunTicks(benchmark::State& state, bool allItems)
{
    TRenderFixture fixture(allItems);
    for (auto _ : state)
        benchmark::DoNotOptimize(fixture.Tick());
    state.counters["lines"] = static_cast<double>(fixture.Lines.size());
}

void BM_WindowTickDefaultTemplate(benchmark::State& state)
{
    RunTicks(state, false);
}
BENCHMARK(BM_WindowTickDefaultTemplate);

void BM_WindowTickAllItems(benchmark::State& state)
{
    RunTicks(state, true);
}
BENCHMARK(BM_WindowTickAllItems);

} // namespace

BENCHMARK_MAIN();
