#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "collect/raw_data.h"

namespace statlume {

/// Holds the one snapshot record of the program together with the receive buffer of a
/// client and the event raised for every complete, valid record.
class TRawDataShell
{
public:
    /// Zero-filled Data, empty Pending, no OnData handler.
    TRawDataShell() = default;

    /// Assembles 272-byte records from received bytes (remote framing and
    /// resynchronisation); each complete record is copied into Data and, when its
    /// marker is "T", OnData is raised.
    void Feed(const std::uint8_t* bytes, std::size_t count);

    /// Bytes of a record begun but not complete (0..271 bytes).
    std::vector<std::uint8_t> Pending;
    /// Raised after Feed completed a record with a valid marker.
    std::function<void()> OnData;
    /// The snapshot.
    TRawData Data;
};

} // namespace statlume
