#include "collect/core_usages.h"

#include <algorithm>
#include <string_view>

namespace statlume {

double UsageFromIdle(std::int64_t idleCur, std::int64_t idlePrev, std::int64_t timeDiff)
{
    const auto idleDiff = static_cast<std::int64_t>(static_cast<std::uint64_t>(idleCur) -
                                                    static_cast<std::uint64_t>(idlePrev));
    // Idle time counts in the kernel's ticks and the block's clock in 100 ns: over a short
    // span (the 250 ms of a first render) the two drift by a tick, which must not read as a
    // share below 0 or above 100.
    return std::clamp((1.0 - static_cast<double>(idleDiff) / static_cast<double>(timeDiff)) * 100.0,
                      0.0, 100.0);
}

void TCoreUsages::Update(const TPerfObject& object, const TPerfCounterDef& idle,
                         std::int64_t timeDiff)
{
    std::size_t count = 0;
    for (std::size_t i = 0; i < object.BlockCount(); ++i) {
        const std::string_view name = object.InstanceName(i);
        if (name.starts_with("_Total"))
            continue;
        if (count == Samples.size()) {
            Samples.emplace_back();
            Cores.emplace_back();
        }
        TSample& sample = Samples[count];
        std::optional<double>& usage = Cores[count].UsagePercent;
        ++count;
        const auto value = object.Value64(i, idle);
        // A first sample, or a place that held another core before, has nothing to compare.
        const bool comparable = value && sample.Valid && sample.Name == name;
        if (!comparable)
            usage.reset();
        else if (timeDiff != 0)
            usage = UsageFromIdle(*value, sample.Idle, timeDiff);
        sample.Valid = value.has_value();
        sample.Idle = value.value_or(0);
        if (sample.Name != name)
            sample.Name.assign(name);
    }
    Samples.resize(count);
    Cores.resize(count);
}

void TCoreUsages::Forget()
{
    Samples.clear();
    Cores.clear();
}

} // namespace statlume
