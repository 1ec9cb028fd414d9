#include "format/machine_facts.h"

namespace statlume {

namespace {

template <typename TFigure>
std::optional<std::vector<std::string>> NamesOf(const std::vector<TFigure>& figures)
{
    if (figures.empty())
        return std::nullopt;
    std::vector<std::string> names;
    for (const TFigure& figure : figures)
        names.push_back(figure.Name);
    return names;
}

template <typename TFigure> std::optional<std::size_t> CountOf(const std::vector<TFigure>& figures)
{
    return figures.empty() ? std::nullopt : std::optional<std::size_t>(figures.size());
}

} // namespace

TMachineFacts FactsOfSnapshot(const TFiguresBeyond& beyond)
{
    TMachineFacts facts;
    facts.ProcessorCount = CountOf(beyond.Cores);
    facts.GpuCount = CountOf(beyond.Gpus);
    facts.Batteries = NamesOf(beyond.Batteries);
    facts.Disks = NamesOf(beyond.Disks);
    return facts;
}

} // namespace statlume
