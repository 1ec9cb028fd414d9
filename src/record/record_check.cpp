#include "record/record_check.h"

#include <cmath>

namespace statlume {

namespace {

constexpr std::size_t ShortStringCapacity = sizeof(TShortString::Chars);

// Usage is not clamped, and the exclusion's slots pass from one process to another, so the
// total can swing far beyond 0..100; the band only keeps out figures no counter can give.
constexpr double ProcUsageLimit = 1e6;

// A rate is a signed 32-bit byte difference / 1024 scaled by 1000 / interval (at least 1 ms),
// so even a counter reset stays within 2^31 / 1024 * 1000 KB/s either way.
constexpr double NetRateLimit = 2147483648.0 / 1024.0 * 1000.0;

bool IsDriveLetter(char letter)
{
    return letter == 0 || (letter >= 'A' && letter <= 'Z');
}

bool IsSize(float megabytes)
{
    return std::isfinite(megabytes) && megabytes >= 0;
}

template <std::size_t N> bool AllWithin(const float (&values)[N], double limit)
{
    for (const float value : values) {
        if (!std::isfinite(value) || std::fabs(value) > limit)
            return false;
    }
    return true;
}

} // namespace

std::optional<std::string_view> RecordCheckFailure(const TRawData& data)
{
    if (data.Marker != 'T')
        return "the marker is not T";
    if (data.ComputerName.Length > ShortStringCapacity ||
        data.LogonName.Length > ShortStringCapacity)
        return "a name is longer than 15 bytes";
    for (const TDriveEntry& drive : data.Drives) {
        if (!IsDriveLetter(drive.Letter))
            return "a drive letter is not A to Z";
        if (!IsSize(drive.TotalMB) || !IsSize(drive.FreeMB))
            return "a drive size is negative or not a number";
    }
    if (!AllWithin(data.ProcUsage, ProcUsageLimit))
        return "a processor figure is out of range";
    if (!AllWithin(data.NetRead, NetRateLimit) || !AllWithin(data.NetWrite, NetRateLimit))
        return "a network rate is out of range";
    if (!std::isfinite(data.LocalTime))
        return "the local time is not a number";
    return std::nullopt;
}

} // namespace statlume
