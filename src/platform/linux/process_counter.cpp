#include "platform/linux/process_counter.h"

#include <array>
#include <utility>
#include <vector>

#include "platform/linux/line_scan.h"
#include "platform/linux/mount_info.h"
#include "platform/linux/proc_file.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace statlume::platform {

namespace {

// hidepid values that leave other users' processes out of the listing.
bool HidesProcesses(std::string_view superOptions)
{
    bool hides = false;
    std::size_t pos = 0;
    while (pos <= superOptions.size()) {
        std::size_t end = superOptions.find(',', pos);
        if (end == std::string_view::npos)
            end = superOptions.size();
        const std::string_view option = superOptions.substr(pos, end - pos);
        if (option.starts_with("hidepid=")) {
            const std::string_view value = option.substr(8);
            hides = value == "2" || value == "4" || value == "invisible" || value == "ptraceable";
        }
        pos = end + 1;
    }
    return hides;
}

std::optional<std::string> ReadProcText(const std::string& path)
{
    const TUniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    std::vector<char> buffer;
    const auto text = ReadWhole(fd.Get(), buffer);
    if (!text)
        return std::nullopt;
    return std::string(*text);
}

} // namespace

std::optional<std::uint64_t> LinkCountOf(int fd)
{
    struct stat info
    {
    };
    if (fd < 0 || ::fstat(fd, &info) != 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(info.st_nlink);
}

std::optional<std::size_t> NsPidDepth(std::string_view statusText)
{
    std::optional<std::size_t> depth;
    ForEachLine(statusText, [&depth](std::string_view line) {
        if (depth || !line.starts_with("NSpid:"))
            return;
        std::size_t fields = 0;
        ForEachField(line.substr(6), [&fields](std::string_view) { ++fields; });
        depth = fields;
    });
    return depth;
}

bool ProcMountListsEveryProcess(std::string_view mountInfoText, std::string_view mountPoint)
{
    bool found = false;
    bool listsEvery = false;
    ForEachLine(mountInfoText, [&](std::string_view line) {
        const auto mount = ReadMountLine(line);
        if (!mount || mount->Point != mountPoint || mount->Type != "proc")
            return;
        found = true;
        listsEvery = !HidesProcesses(mount->SuperOptions);
    });
    return found && listsEvery;
}

bool SeesEveryProcess(const std::string& root)
{
    const auto status = ReadProcText(root + "/self/status");
    const auto mountInfo = ReadProcText(root + "/self/mountinfo");
    return status && mountInfo && NsPidDepth(*status) == 1u &&
           ProcMountListsEveryProcess(*mountInfo, root);
}

TProcessCounter::TProcessCounter(TLinkCount linkCount, TListCount listCount, bool fastPathAllowed)
    : LinkCount(std::move(linkCount))
    , ListCount(std::move(listCount))
    , Allowed(fastPathAllowed)
{
}

std::optional<std::uint64_t> TProcessCounter::Count(std::int64_t now)
{
    if (Allowed && Offset && FastCounts < FastCountsPerCalibration && now >= CalibratedAt &&
        now - CalibratedAt < CalibrationLifetime) {
        // A link count below the offset means the fixed part changed: measure it again.
        const auto links = LinkCount();
        if (links && *links >= *Offset) {
            ++FastCounts;
            LastFast = true;
            return *links - *Offset;
        }
    }
    return ListAndCalibrate(now);
}

std::optional<std::uint64_t> TProcessCounter::ListAndCalibrate(std::int64_t now)
{
    LastFast = false;
    if (!Allowed)
        return ListCount();
    const auto before = LinkCount();
    const auto listed = ListCount();
    const auto after = LinkCount();
    if (!listed)
        return std::nullopt;
    Offset.reset();
    // A process that started or ended during the listing would skew the offset; the next
    // count simply lists again.
    if (!before || !after || *before != *after)
        return listed;
    if (*before < *listed) {
        // This procfs does not count processes in its link count.
        Allowed = false;
        return listed;
    }
    Offset = *before - *listed;
    CalibratedAt = now;
    FastCounts = 0;
    return listed;
}

} // namespace statlume::platform
