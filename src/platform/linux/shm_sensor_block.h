#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/sensor_block.h"

namespace statlume::platform {

/// Reads the sensor block from a POSIX shared memory object.
class TShmSensorBlock final : public TSensorBlock
{
public:
    /// Reads the object called name (a leading slash, no other slash).
    explicit TShmSensorBlock(std::string_view name = SensorBlockName);

    /// Copies the words; empty when the object is missing, not a regular object, shorter
    /// than SensorBlockMinSize, owned by a user other than this one or root, or unreadable
    /// (read, never mapped, so a block without pages cannot fault).
    std::optional<TSensorWords> Read() const override;

private:
    std::string Name;
};

} // namespace statlume::platform
