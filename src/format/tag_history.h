#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "format/run.h"

namespace statlume {

/// The values one tag occurrence has shown: the last few for its graph and the peak of the
/// last minute for its scale. Starts empty; memory is bounded by the capacity.
class TTagHistory
{
public:
    /// Keeps at most capacity values (the graph's width); 0 keeps only the peaks.
    void SetCapacity(std::size_t capacity);
    /// Adds one value shown at nowMs (a steady clock, in milliseconds) in the tone its
    /// thresholds gave it then.
    void Add(float value, std::int64_t nowMs, TRunTone tone = TRunTone::Plain);
    /// The highest value added in the minute before nowMs; 0 when none.
    float Peak(std::int64_t nowMs) const;
    /// Values kept.
    std::size_t Size() const { return Values.size(); }
    /// The value at index, 0 being the oldest kept.
    float At(std::size_t index) const;
    /// The tone of the value at index.
    TRunTone ToneAt(std::size_t index) const;

private:
    /// Where the value at index is kept.
    std::size_t Slot(std::size_t index) const;

    static constexpr std::size_t PeakSlots = 60;

    std::size_t Capacity = 0;
    std::vector<float> Values;
    /// Beside Values: a column keeps the colour it was drawn in when its value came.
    std::vector<TRunTone> Tones;
    /// Where the next value goes once Values is full.
    std::size_t Next = 0;
    std::array<float, PeakSlots> Peaks{};
    /// The second each peak slot holds; a slot from an older minute is stale.
    std::array<std::int64_t, PeakSlots> PeakSeconds{};
    bool AnyPeak = false;
};

} // namespace statlume
