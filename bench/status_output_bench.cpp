// Cost of writing one update in each output style: the default template rendered from a
// filled snapshot, then formatted as lines (--print), one JSON object (--json) or one line
// (--one-line). bench/status_output_cpu.sh measures the whole program per update.
#include <string>
#include <vector>

#include "cli/status_output.h"
#include "collect/raw_data.h"
#include "collect/raw_data_shell.h"
#include "format/default_template.h"
#include "format/formatter.h"
#include "format/tag_language.h"

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

} // namespace
} // namespace statlume

BENCHMARK_MAIN();
