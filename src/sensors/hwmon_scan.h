#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

namespace statlume {

/// Default root of the hardware monitoring devices.
inline constexpr std::string_view DefaultHwmonRoot = "/sys/class/hwmon";

/// The figures the publisher puts into the block.
struct TSensorReadings
{
    /// The first three temperature inputs, whole degrees Celsius (0 when absent).
    std::array<std::int32_t, 3> Temps{};
    /// The first three fan inputs, revolutions per minute (0 when absent).
    std::array<std::int32_t, 3> Fans{};
};

/// Reads the first three tempN_input and fanN_input files under root, devices in the order
/// of their number (hwmon2 before hwmon10), inputs likewise; a device without inputs of its
/// own is searched in its device/ folder. An input that cannot be read keeps its place and
/// reads 0; a missing root gives all zeros.
TSensorReadings ScanHwmon(const std::filesystem::path& root);

/// A sysfs number (decimal, surrounding whitespace allowed, under 64 bytes in all); empty when
/// unreadable, longer, or not a regular file (a FIFO or device is never opened or waited on).
std::optional<std::int64_t> ReadSysfsNumber(const std::filesystem::path& file);

/// Millidegrees to whole degrees, halves away from zero, held within the 16-bit range.
std::int32_t MilliToDegrees(std::int64_t milli);

} // namespace statlume
