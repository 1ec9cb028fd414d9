// Cost of one console render of the gallery's "graphs" template (graphs, bars, thresholds):
// runs from the snapshot, history kept, turned into the coloured text a terminal is sent.
// The laid-down text render of the same template is the baseline.
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cli/status_output.h"
#include "format/formatter.h"
#include "format/run_renderer.h"
#include "format/tag_language.h"
#include "record/raw_data.h"
#include "record/raw_data_shell.h"

#include <benchmark/benchmark.h>

namespace {

using namespace statlume;

std::string GraphsTemplate()
{
    std::ifstream file(STATLUME_GALLERY_DIR "/graphs.txt", std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

class TGraphsFixture
{
public:
    TGraphsFixture()
        : Formatters(CreateFormatters(Shell, Locale))
    {
        Text = GraphsTemplate();
        Lines = SplitTemplateLines(Text);
        DecideAllActive(Formatters, Text);
        for (const std::string& line : Lines)
            RenderLine(Formatters, line); // registers the drive letter
        Shell.Data.Drives[0] = {'C', {}, 476940.5f, 12345.6f};
        SetMemoryBytes(Shell.Data, 1u << 30, 4ull << 30, 3ull << 30, 16ull << 30);
        Runs.SetLines(Lines);
    }

    // One update: new figures, every line into runs, the terminal's text.
    std::size_t Update()
    {
        Tick += 1000;
        for (int i = 0; i < 5; ++i) {
            Shell.Data.ProcUsage[i] = static_cast<float>((Tick / 1000 * 7 + i * 13) % 100);
            Shell.Data.NetRead[i] = static_cast<float>((Tick / 1000 * 37) % 900);
            Shell.Data.NetWrite[i] = static_cast<float>((Tick / 1000 * 11) % 300);
        }
        const std::string text =
            FormatUpdate(Output, Runs.RenderAll(Formatters, Tick, true), false);
        benchmark::DoNotOptimize(text.data());
        return text.size();
    }

    LocaleInfo Locale;
    TRawDataShell Shell;
    TFormatterList Formatters;
    std::string Text;
    std::vector<std::string> Lines;
    TRunRenderer Runs;
    TOutputFormat Output{TOutputStyle::Lines, " | ", true};
    std::int64_t Tick = 0;
};

void BM_ConsoleRenderGraphsTemplate(benchmark::State& state)
{
    TGraphsFixture fixture;
    // Graphs full, as after a minute of updates.
    for (int i = 0; i < 60; ++i)
        fixture.Update();
    for (auto _ : state)
        benchmark::DoNotOptimize(fixture.Update());
    state.counters["lines"] = static_cast<double>(fixture.Lines.size());
}
BENCHMARK(BM_ConsoleRenderGraphsTemplate);

void BM_PlainRenderGraphsTemplate(benchmark::State& state)
{
    TGraphsFixture fixture;
    for (auto _ : state) {
        std::size_t total = 0;
        for (const std::string& line : fixture.Lines)
            total += RenderLine(fixture.Formatters, line).size();
        benchmark::DoNotOptimize(total);
    }
}
BENCHMARK(BM_PlainRenderGraphsTemplate);

} // namespace

BENCHMARK_MAIN();
