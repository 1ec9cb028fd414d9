#include "monitor/monitor.h"

#include "format/detail_values.h"
#include "format/tag_language.h"
#include "format/template_cap.h"

namespace statlume {

TFamilySet ActiveFamilies(const TFormatterList& formatters)
{
    TFamilySet families;
    for (std::size_t i = 0; i < formatters.size() && i < FamilyCount; ++i) {
        if (formatters[i] && formatters[i]->Active)
            families = families.With(static_cast<TFamily>(i));
    }
    return families;
}

TMonitor::TMonitor(const TFormatterList& formatters)
    : Formatters(formatters)
{
}

std::string TMonitor::SetTemplate(std::string_view templateText)
{
    // Each line costs memory and time on every update: a huge template is cut.
    const TTemplateCap cap = CapTemplate(templateText);
    DecideAllActive(Formatters, cap.Kept);
    Detail = TemplateFigureDetail(cap.Kept);
    Runs.SetLines(SplitTemplateLines(cap.Kept));
    // Drive items enter their letters while rendering; the next collection measures them.
    RenderTexts();
    return TemplateCapMessage(cap);
}

bool TMonitor::Collect(TSnapshotCollector& collector, bool force, std::uint32_t intervalMs)
{
    // Read at every collection: the tray's processor icon makes its family Active besides
    // the template's.
    TRawDataShell& shell = FamilyOf(Formatters, TFamily::MBM).Shell;
    collector.SetFigureDetail(Detail);
    return collector.CollectSnapshot(shell, ActiveFamilies(Formatters), force, intervalMs);
}

TRunLine TMonitor::Render(std::size_t index, std::int64_t nowMs, bool sample)
{
    return Runs.Render(Formatters, index, nowMs, sample);
}

std::vector<TRunLine> TMonitor::RenderAll(std::int64_t nowMs, bool sample)
{
    return Runs.RenderAll(Formatters, nowMs, sample);
}

std::vector<std::string> TMonitor::RenderTexts()
{
    std::vector<std::string> texts;
    texts.reserve(Runs.LineCount());
    for (std::size_t i = 0; i < Runs.LineCount(); ++i)
        texts.push_back(Runs.RenderText(Formatters, i));
    return texts;
}

} // namespace statlume
