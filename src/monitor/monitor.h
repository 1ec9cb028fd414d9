#pragma once

// The loop both programs share: set a template (cap it, decide the Active flags, parse its
// lines once), collect the families it uses, render its lines into runs.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "collect/snapshot_collector.h"
#include "format/formatter.h"
#include "format/run.h"
#include "format/run_renderer.h"
#include "record/family_set.h"
#include "record/figure_detail.h"

namespace statlume {

/// The families whose formatter is Active.
TFamilySet ActiveFamilies(const TFormatterList& formatters);

/// One template's lines over the formatters: set once, then collected for and rendered on
/// every update.
class TMonitor
{
public:
    /// Renders through formatters, which must outlive the monitor; no template yet.
    explicit TMonitor(const TFormatterList& formatters);

    /// Caps templateText as the window does, decides the Active flags from the kept text,
    /// keeps its lines (parsed from now until the next template) and renders each once, so
    /// drive items enter their letters. Returns the message for a cut template, empty when
    /// nothing was cut.
    std::string SetTemplate(std::string_view templateText);

    /// The template lines kept.
    std::size_t LineCount() const { return Runs.LineCount(); }
    /// The template line at index.
    const std::string& Line(std::size_t index) const { return Runs.Line(index); }

    /// One collection by collector of the families the formatters' Active flags name, and of
    /// the cores and interfaces beyond the record the template shows, into the formatters'
    /// shell; intervalMs scales rates. False when a step could not read.
    bool Collect(TSnapshotCollector& collector, bool force, std::uint32_t intervalMs);

    /// Line index into runs; nowMs is a steady clock in milliseconds, sample adds the values
    /// to the graphs' histories (a new snapshot), otherwise they are only read.
    TRunLine Render(std::size_t index, std::int64_t nowMs, bool sample);
    /// Every line into runs, in order.
    std::vector<TRunLine> RenderAll(std::int64_t nowMs, bool sample);
    /// Every line as text, every tag replaced; no history is read or kept.
    std::vector<std::string> RenderTexts();

private:
    const TFormatterList& Formatters;
    TRunRenderer Runs;
    TFigureDetail Detail;
};

} // namespace statlume
