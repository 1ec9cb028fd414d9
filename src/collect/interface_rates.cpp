#include "collect/interface_rates.h"

#include <algorithm>
#include <string_view>
#include <utility>

namespace statlume {

float RateKBps(std::uint32_t cur, std::uint32_t prev, double perSecond)
{
    const auto diff = static_cast<std::int32_t>(cur - prev);
    return static_cast<float>(perSecond * (static_cast<double>(diff) / 1024.0));
}

void TInterfaceRates::Update(const TPerfObject& object, const TPerfCounterDef* received,
                             const TPerfCounterDef* sent, double perSecond,
                             const std::vector<std::string>& names)
{
    std::map<std::string, TSample, std::less<>> seen;
    std::vector<TInterfaceFigure> figures;
    for (std::size_t i = 0; i < object.BlockCount(); ++i) {
        const std::string_view name = object.InstanceName(i);
        if (std::find(names.begin(), names.end(), name) == names.end() || seen.contains(name))
            continue;
        const auto read = received ? object.Value32(i, *received) : std::uint32_t{0};
        const auto written = sent ? object.Value32(i, *sent) : std::uint32_t{0};
        if (!read || !written)
            continue;
        TInterfaceFigure figure;
        figure.Name = name;
        const auto previous = Samples.find(name);
        if (previous != Samples.end() && perSecond > 0) {
            figure.ReadKBps = RateKBps(*read, previous->second.Read, perSecond);
            figure.WriteKBps = RateKBps(*written, previous->second.Write, perSecond);
        } else if (previous != Samples.end()) {
            const auto last =
                std::find_if(Interfaces.begin(), Interfaces.end(),
                             [name](const TInterfaceFigure& known) { return known.Name == name; });
            if (last != Interfaces.end())
                figure = *last;
        }
        seen.emplace(name, TSample{*read, *written});
        figures.push_back(std::move(figure));
    }
    // Interfaces gone or no longer named are dropped with the old samples.
    Samples = std::move(seen);
    Interfaces = std::move(figures);
}

void TInterfaceRates::Forget()
{
    Samples.clear();
    Interfaces.clear();
}

} // namespace statlume
