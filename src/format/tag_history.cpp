#include "format/tag_history.h"

#include <algorithm>

namespace statlume {

namespace {

std::int64_t SecondOf(std::int64_t ms)
{
    return ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
}

} // namespace

void TTagHistory::SetCapacity(std::size_t capacity)
{
    if (capacity == Capacity)
        return;
    Capacity = capacity;
    Values.clear();
    Values.shrink_to_fit();
    Tones.clear();
    Tones.shrink_to_fit();
    Next = 0;
}

void TTagHistory::Add(float value, std::int64_t nowMs, TRunTone tone)
{
    if (Capacity != 0) {
        if (Values.size() < Capacity) {
            Values.push_back(value);
            Tones.push_back(tone);
        } else {
            Values[Next] = value;
            Tones[Next] = tone;
            Next = (Next + 1) % Capacity;
        }
    }
    const std::int64_t second = SecondOf(nowMs);
    const auto slot = static_cast<std::size_t>(((second % 60) + 60) % 60);
    if (!AnyPeak || PeakSeconds[slot] != second) {
        PeakSeconds[slot] = second;
        Peaks[slot] = value;
    } else {
        Peaks[slot] = std::max(Peaks[slot], value);
    }
    if (!AnyPeak) {
        // Every other slot is stale until written: mark it with a second long gone.
        for (std::size_t i = 0; i < PeakSlots; ++i) {
            if (i != slot)
                PeakSeconds[i] = second - 120;
        }
        AnyPeak = true;
    }
}

float TTagHistory::Peak(std::int64_t nowMs) const
{
    if (!AnyPeak)
        return 0;
    const std::int64_t second = SecondOf(nowMs);
    float peak = 0;
    for (std::size_t i = 0; i < PeakSlots; ++i) {
        const std::int64_t age = second - PeakSeconds[i];
        if (age >= 0 && age < 60)
            peak = std::max(peak, Peaks[i]);
    }
    return peak;
}

std::size_t TTagHistory::Slot(std::size_t index) const
{
    // Until the ring is full the values stand in order; after that the oldest is at Next.
    return Values.size() < Capacity ? index : (Next + index) % Values.size();
}

float TTagHistory::At(std::size_t index) const
{
    return Values[Slot(index)];
}

TRunTone TTagHistory::ToneAt(std::size_t index) const
{
    return Tones[Slot(index)];
}

} // namespace statlume
