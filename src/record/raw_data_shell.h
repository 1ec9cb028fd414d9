#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "record/figures_beyond.h"
#include "record/raw_data.h"

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

/// Which figures of the record were measured. A rate needs two samples and a step that could
/// not read its data has none; such a figure shows no value. A record as received or read
/// from a file counts as measured throughout.
struct TFigureKnown
{
    /// Entries of ProcUsage.
    std::array<bool, 5> Proc{true, true, true, true, true};
    /// Entries of NetRead and NetWrite.
    std::array<bool, 5> Net{true, true, true, true, true};
    /// UptimeSecs, ThreadCount and ProcessCount.
    bool System = true;
};

/// Holds the program's one snapshot: the record (what travels between copies) and the figures
/// beyond it (figures_beyond.h), together with the receive buffer of a client and the event
/// raised for every complete, valid record.
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
    /// Which of Data's figures were measured; only the local collection clears any.
    TFigureKnown Known;
    /// The figures the record cannot carry; only the local collection fills them.
    TFiguresBeyond Beyond;
};

} // namespace statlume
