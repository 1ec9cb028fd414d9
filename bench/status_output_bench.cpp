// Cost of writing one update in each output style (--print lines, --json, --one-line):
// BM_Update renders the default template from a filled snapshot and formats it; BM_WholeUpdate
// is the program's whole tick with the default template: a collection from this machine, the
// render, the formatting and the write (to /dev/null). Run with
// --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true so that the machine's
// load touches the styles alike. bench/status_output_cpu.sh measures the program itself.
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/console_app.h"
#include "cli/status_output.h"
#include "format/default_template.h"
#include "format/formatter.h"
#include "format/tag_language.h"
#include "record/raw_data.h"
#include "record/raw_data_shell.h"

#include <benchmark/benchmark.h>

namespace statlume {
namespace {

void BM_Update(benchmark::State& state)
{
    const TOutputFormat format{static_cast<TOutputStyle>(state.range(0)), " | "};
    TRawDataShell shell;
    const LocaleInfo locale;
    const TFormatterList formatters = CreateFormatters(shell, locale);
    const std::string templateText = ComposeDefaultTemplate(formatters);
    DecideAllActive(formatters, templateText);
    const std::vector<std::string> lines = SplitTemplateLines(templateText);
    TRawData& data = shell.Data;
    data.Marker = 'T';
    data.ProcUsage[0] = 23.4f;
    data.UptimeSecs = 987654;
    data.ProcessCount = 312;
    data.ThreadCount = 1234;
    SetMemoryBytes(data, 1ull << 30, 4ull << 30, 6ull << 30, 16ull << 30);
    data.ComputerName.Assign("bench-host");
    for (auto _ : state) {
        std::vector<std::string> rendered;
        rendered.reserve(lines.size());
        for (const std::string& line : lines)
            rendered.push_back(RenderLine(formatters, line));
        benchmark::DoNotOptimize(FormatUpdate(format, rendered, false));
    }
}
BENCHMARK(BM_Update)
    ->Arg(static_cast<int>(TOutputStyle::Lines))
    ->Arg(static_cast<int>(TOutputStyle::Json))
    ->Arg(static_cast<int>(TOutputStyle::OneLine));

void BM_WholeUpdate(benchmark::State& state)
{
    const TOutputFormat format{static_cast<TOutputStyle>(state.range(0)), " | "};
    std::ostringstream unused;
    const LocaleInfo locale;
    // The short-run sources read the sensors but never start their publisher.
    TConsoleApp app(unused, unused, locale, ShortRunConsoleSources);
    app.StartTimer(0, [] {});
    app.BuildLabels(ComposeDefaultTemplate(app.FormatterList()));
    std::ofstream sink("/dev/null");
    for (auto _ : state) {
        app.Collect(false);
        const std::string text = FormatUpdate(format, app.RenderLines(), false);
        sink.write(text.data(), static_cast<std::streamsize>(text.size()));
        sink.flush();
    }
}
BENCHMARK(BM_WholeUpdate)
    ->Arg(static_cast<int>(TOutputStyle::Lines))
    ->Arg(static_cast<int>(TOutputStyle::Json))
    ->Arg(static_cast<int>(TOutputStyle::OneLine))
    ->MinTime(2);

} // namespace
} // namespace statlume

BENCHMARK_MAIN();
