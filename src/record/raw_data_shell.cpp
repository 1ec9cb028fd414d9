#include "record/raw_data_shell.h"

#include <algorithm>
#include <span>

#include "record/record_check.h"

namespace statlume {

namespace {

constexpr std::uint8_t MarkerByte = 0x54;

/// Position of the first marker byte in [from, count), or count when there is none.
std::size_t FindMarker(const std::uint8_t* bytes, std::size_t from, std::size_t count)
{
    if (from >= count)
        return count;
    const auto* found = std::find(bytes + from, bytes + count, MarkerByte);
    return static_cast<std::size_t>(found - bytes);
}

} // namespace

TFeedResult TRawDataShell::Feed(const std::uint8_t* bytes, std::size_t count)
{
    TFeedResult result;
    if (bytes == nullptr)
        return result;
    // A Pending left over-long by a caller that wrote to it directly would otherwise never
    // complete a record again.
    if (Pending.size() >= RawDataSize)
        Pending.clear();
    Pending.reserve(RawDataSize);

    // Whether the record now in Pending began in this read, and where.
    bool beganHere = false;
    std::size_t recordStart = 0;
    std::size_t p = 0;
    while (p < count) {
        if (Pending.empty()) {
            beganHere = true;
            recordStart = p;
        }
        const std::size_t take = std::min(RawDataSize - Pending.size(), count - p);
        Pending.insert(Pending.end(), bytes + p, bytes + p + take);
        p += take;
        if (Pending.size() < RawDataSize)
            break;

        // Decrypted noise (a wrong password) or a stream out of line must never reach Data,
        // which any later rendering would show.
        const bool marked = Pending.front() == MarkerByte;
        const TRawData record =
            DecodeRawData(std::span<const std::uint8_t, RawDataSize>(Pending.data(), RawDataSize));
        Pending.clear();
        if (marked && PassesRecordCheck(record)) {
            Data = record;
            ++result.Accepted;
            result.RejectedAtEnd = 0;
            if (OnData)
                OnData();
            continue;
        }
        ++result.Rejected;
        ++result.RejectedAtEnd;
        // Resynchronise on the next marker; starting after the dropped record's first byte
        // (or at this read's start when it began earlier) keeps every step moving forward.
        p = beganHere ? FindMarker(bytes, recordStart + 1, count) : FindMarker(bytes, 0, count);
    }
    return result;
}

} // namespace statlume
