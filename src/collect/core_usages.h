#pragma once

// The usage of every processor core from the processor block, for the cores the record's
// four entries cannot hold.
#include <cstdint>
#include <string>
#include <vector>

#include "collect/perf_walker.h"
#include "record/figures_beyond.h"

namespace statlume {

/// Usage in percent, 0..100, from an idle counter's two samples and the block clock's step
/// between them (both in 100 ns); counters wrap rather than overflow.
double UsageFromIdle(std::int64_t idleCur, std::int64_t idlePrev, std::int64_t timeDiff);

/// Every core's usage, each against its own previous sample.
class TCoreUsages
{
public:
    /// One processor block: every instance but "_Total", in block order, with its idle counter
    /// and the clock's step since the last block. A core new in its place (or whose counter
    /// cannot be read) has no usage until the next block; no time step keeps the last usage.
    void Update(const TPerfObject& object, const TPerfCounterDef& idle, std::int64_t timeDiff);
    /// Drops every sample and figure, so usages start afresh.
    void Forget();
    /// The cores of the last block, the first listed first.
    const std::vector<TCoreFigure>& Figures() const { return Cores; }

private:
    struct TSample
    {
        std::string Name;
        std::int64_t Idle = 0;
        bool Valid = false;
    };
    std::vector<TSample> Samples;
    std::vector<TCoreFigure> Cores;
};

} // namespace statlume
