#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace statlume::platform {

/// Name of the shared block that the sensor publisher fills.
inline constexpr std::string_view SensorBlockName = "/$M$B$M$5$D$";

/// Smallest size in bytes of a usable sensor block.
inline constexpr std::size_t SensorBlockMinSize = 112;

/// Byte offset of the first temperature word in the block.
inline constexpr std::size_t SensorTempOffset = 0;
/// Byte offset of the first fan word in the block.
inline constexpr std::size_t SensorFanOffset = 96;

/// The 32-bit words the program copies from the block, already in host byte order.
struct TSensorWords
{
    /// Words at offsets 0, 4, ..., 36; the first three hold the temperatures.
    std::array<std::uint32_t, 10> Temps{};
    /// Words at offsets 96, 100, 104, 108; the first three hold the fan speeds.
    std::array<std::uint32_t, 4> Fans{};
};

/// The shared block published by the sensor program.
class TSensorBlock
{
public:
    virtual ~TSensorBlock() = default;

    /// Copies the words of the block; empty when the block is missing, cannot be read or
    /// is shorter than SensorBlockMinSize.
    virtual std::optional<TSensorWords> Read() const = 0;
};

} // namespace statlume::platform
