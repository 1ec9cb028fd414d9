// The per-second rate of a growing kernel counter, from the last two samples.
#pragma once

#include <cstdint>
#include <optional>

namespace statlume::platform {

/// Keeps the previous sample of one 64-bit counter and turns the next into a rate.
class TCounterRate
{
public:
    /// The counter's growth per second since the previous sample; empty on the first sample
    /// or when the clock did not advance; 0 when the counter went backwards (a device replaced,
    /// a driver reloaded), which would otherwise read as a huge rate. nowNs is a monotonic time
    /// in nanoseconds.
    std::optional<double> Update(std::uint64_t value, std::int64_t nowNs)
    {
        const auto previous = Last;
        Last = TSample{value, nowNs};
        if (!previous || nowNs <= previous->TimeNs)
            return std::nullopt;
        if (value < previous->Value)
            return 0.0;
        const double seconds = static_cast<double>(nowNs - previous->TimeNs) / 1e9;
        return static_cast<double>(value - previous->Value) / seconds;
    }

    /// Forgets the previous sample, so the next Update starts again (a card fell asleep).
    void Reset() { Last.reset(); }

private:
    struct TSample
    {
        std::uint64_t Value = 0;
        std::int64_t TimeNs = 0;
    };
    std::optional<TSample> Last;
};

} // namespace statlume::platform
