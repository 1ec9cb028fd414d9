#pragma once

// The receive and send rates of the network interfaces a template names, beyond the
// record's four entries.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "collect/perf_walker.h"
#include "record/figures_beyond.h"

namespace statlume {

/// KB/s from a 32-bit byte counter's two samples; a difference read as signed, so a wrap
/// gives the small positive step and a reset a negative one.
float RateKBps(std::uint32_t cur, std::uint32_t prev, double perSecond);

/// The rates of the named interfaces, each against its own previous sample.
class TInterfaceRates
{
public:
    /// One network block: the instances whose names are among names, in block order, with
    /// their counters (received and sent may be missing: 0). perSecond scales a counter step
    /// to a rate; 0 (no time step) keeps the last rates. An interface new since the last block
    /// has no rate until the next one.
    void Update(const TPerfObject& object, const TPerfCounterDef* received,
                const TPerfCounterDef* sent, double perSecond,
                const std::vector<std::string>& names);
    /// Drops every sample and figure, so rates start afresh.
    void Forget();
    /// The named interfaces of the last block.
    const std::vector<TInterfaceFigure>& Figures() const { return Interfaces; }

private:
    struct TSample
    {
        std::uint32_t Read = 0;
        std::uint32_t Write = 0;
    };
    std::map<std::string, TSample, std::less<>> Samples;
    std::vector<TInterfaceFigure> Interfaces;
};

} // namespace statlume
