#pragma once

#include <optional>
#include <string_view>

#include "record/raw_data.h"

namespace statlume {

/// Why a record cannot have come from a real collection (one short phrase), or nothing when
/// it may have. Only what no collection of any peer can produce fails: a marker other than
/// "T", a name length above 15, a drive letter other than 0 or A..Z, a drive size that is
/// negative or not finite, a processor figure beyond +-1e6 % or not finite, a network rate
/// beyond what a 32-bit counter step can give in 1 ms, or a local time that is not finite.
/// Counts, memory, uptime, addresses, sensors and padding take any value.
std::optional<std::string_view> RecordCheckFailure(const TRawData& data);

/// True when RecordCheckFailure finds nothing.
inline bool PassesRecordCheck(const TRawData& data)
{
    return !RecordCheckFailure(data).has_value();
}

} // namespace statlume
