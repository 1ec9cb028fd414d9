#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "collect/raw_data.h"

namespace statlume {

/// What one Feed call did with the records it completed, in stream order.
struct TFeedResult
{
    /// Records accepted, each with OnData raised.
    std::size_t Accepted = 0;
    /// Records dropped for a wrong marker or a failed record check.
    std::size_t Rejected = 0;
    /// Of those, the ones dropped after the last accepted record (all of them when none was).
    std::size_t RejectedAtEnd = 0;
};

/// Holds the one snapshot record of the program together with the receive buffer of a
/// client and the event raised for every complete, valid record.
class TRawDataShell
{
public:
    /// Zero-filled Data, empty Pending, no OnData handler.
    TRawDataShell() = default;

    /// Assembles 272-byte records from received bytes (remote framing and
    /// resynchronisation); a complete record whose marker is "T" and that passes the record
    /// check is copied into Data and raises OnData; any other is dropped, Data unchanged.
    TFeedResult Feed(const std::uint8_t* bytes, std::size_t count);

    /// Bytes of a record begun but not complete (0..271 bytes).
    std::vector<std::uint8_t> Pending;
    /// Raised after Feed accepted a record.
    std::function<void()> OnData;
    /// The snapshot.
    TRawData Data;
};

} // namespace statlume
