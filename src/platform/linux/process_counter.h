#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace statlume::platform {

/// The link count (st_nlink) of the file open as fd; empty when fstat fails.
std::optional<std::uint64_t> LinkCountOf(int fd);

/// Number of fields of the "NSpid:" line of a /proc/<pid>/status text (1 in the initial pid
/// namespace); empty when the line is missing (kernels before 4.1).
std::optional<std::size_t> NsPidDepth(std::string_view statusText);

/// True when the mountinfo text shows a procfs mounted at mountPoint (the last such mount
/// wins) that lists every process, that is one not mounted with hidepid=2/invisible or
/// hidepid=4/ptraceable; false when there is no such mount.
bool ProcMountListsEveryProcess(std::string_view mountInfoText, std::string_view mountPoint);

/// True when the procfs at root (normally "/proc") shows this process every process of the
/// machine: it is in the initial pid namespace and the mount hides none.
bool SeesEveryProcess(const std::string& root);

/// Counts the machine's processes cheaply. The link count of the procfs root is a fixed
/// number (its own subfolders) plus the kernel's process count; that fixed number is learnt
/// from a real listing and checked again now and then, so most counts cost one fstat.
class TProcessCounter
{
public:
    /// The link count of the procfs root; empty when it cannot be read.
    using TLinkCount = std::function<std::optional<std::uint64_t>()>;
    /// The number of processes in a real listing of the procfs root; empty on failure.
    using TListCount = std::function<std::optional<std::uint64_t>()>;

    /// Lists again when the last calibration is older than this (100 ns units).
    static constexpr std::int64_t CalibrationLifetime = 10 * 10'000'000;
    /// Counts from the link count at most this many times in a row before listing again,
    /// however short the intervals.
    static constexpr int FastCountsPerCalibration = 99;

    /// Counts with the two functions; with fastPathAllowed false every count is a listing
    /// (another pid namespace or a mount that hides processes would make the link count
    /// disagree with the listing).
    TProcessCounter(TLinkCount linkCount, TListCount listCount, bool fastPathAllowed);

    /// The number of processes at now (a monotonic time in 100 ns units); empty when the
    /// listing it needed failed.
    std::optional<std::uint64_t> Count(std::int64_t now);
    /// True when the last Count came from the link count rather than a listing.
    bool LastCountWasFast() const { return LastFast; }
    /// False once the link count proved unusable; every count is then a listing.
    bool FastPathAllowed() const { return Allowed; }

private:
    std::optional<std::uint64_t> ListAndCalibrate(std::int64_t now);

    TLinkCount LinkCount;
    TListCount ListCount;
    bool Allowed;
    bool LastFast = false;
    // Link count minus processes, once a listing with a steady link count measured it.
    std::optional<std::uint64_t> Offset;
    std::int64_t CalibratedAt = 0;
    int FastCounts = 0;
};

} // namespace statlume::platform
