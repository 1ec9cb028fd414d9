#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace statlume::platform {

/// Result of a query that found the buffer too small.
inline constexpr long ErrorMoreData = 234;
/// Result of a successful query.
inline constexpr long ErrorSuccess = 0;

/// The performance data of one object, as a byte block in the published layout.
class PerfDataSource
{
public:
    virtual ~PerfDataSource() = default;

    /// Writes the block of the object named by its title index text ("238", "230", "638",
    /// "2") into buffer, which holds size bytes. Returns ErrorSuccess and sets size to the
    /// block's length; or ErrorMoreData when the block does not fit (size is then left
    /// unchanged and the buffer's contents are unspecified); any other value is a failure.
    virtual long Query(std::string_view objectIndex, std::uint8_t* buffer, std::uint32_t& size) = 0;
    /// What the last failed query could not read and why ("/proc/stat: Permission denied");
    /// empty when the source has nothing to say.
    virtual std::string LastProblem() const { return {}; }
};

} // namespace statlume::platform
