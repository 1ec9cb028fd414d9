#include "platform/linux/top_processes.h"

#include <algorithm>
#include <cerrno>

#include "base/printable_text.h"
#include "platform/linux/line_scan.h"
#include "platform/linux/small_file.h"
#include "platform/linux/unique_fd.h"

#include <fcntl.h>
#include <unistd.h>

namespace statlume::platform {

namespace {

constexpr std::size_t ProcessLimit = 1 << 16;

std::string_view NextToken(std::string_view& text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    std::size_t end = 0;
    while (end < text.size() && !IsBlank(text[end]) && text[end] != '\n')
        ++end;
    const std::string_view token = text.substr(0, end);
    text.remove_prefix(end);
    return token;
}

// Reads a small procfs file below the folder dir into buffer with one open and one read;
// empty when it cannot be read or does not fit.
std::optional<std::string_view> ReadAt(int dir, const char* path, char* buffer, std::size_t size)
{
    const TUniqueFd fd(::openat(dir, path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd)
        return std::nullopt;
    ssize_t got = 0;
    do {
        got = ::read(fd.Get(), buffer, size);
    } while (got < 0 && errno == EINTR);
    if (got < 0 || static_cast<std::size_t>(got) >= size)
        return std::nullopt;
    return std::string_view(buffer, static_cast<std::size_t>(got));
}

struct TCandidate
{
    int Pid = 0;
    std::string_view RawName;
    double CpuPercent = 0;
    std::uint64_t ResidentBytes = 0;
};

template <typename TBefore>
std::vector<TTopProcess> Best(std::vector<TCandidate>& all, std::size_t count, TBefore before)
{
    const std::size_t size = std::min(count, all.size());
    std::partial_sort(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(size), all.end(),
                      before);
    std::vector<TTopProcess> best;
    // Only the few shown are made printable.
    for (std::size_t i = 0; i < size; ++i)
        best.push_back(TTopProcess{all[i].Pid, PrintableText(all[i].RawName), all[i].CpuPercent,
                                   all[i].ResidentBytes});
    return best;
}

} // namespace

std::optional<TProcStat> ParseProcStat(std::string_view text)
{
    const std::size_t open = text.find('(');
    const std::size_t close = text.rfind(')');
    if (open == std::string_view::npos || close == std::string_view::npos || close < open)
        return std::nullopt;
    const auto pid = ParseUnsigned(text.substr(0, open));
    std::string_view rest = text.substr(close + 1);
    // After the name come field 3 (state) onwards: utime and stime are 14 and 15, starttime
    // 22 and rss 24.
    std::string_view fields[22];
    for (auto& field : fields)
        field = NextToken(rest);
    const auto user = ParseUnsigned(fields[11]);
    const auto system = ParseUnsigned(fields[12]);
    const auto start = ParseUnsigned(fields[19]);
    const auto resident = ParseSigned(fields[21]);
    if (!pid || *pid == 0 || *pid > 0x3fffffff || !user || !system || !start || !resident)
        return std::nullopt;
    TProcStat stat;
    stat.Pid = static_cast<int>(*pid);
    stat.Name = text.substr(open + 1, close - open - 1);
    stat.Ticks = *user + *system;
    stat.StartTicks = *start;
    stat.ResidentPages = *resident > 0 ? static_cast<std::uint64_t>(*resident) : 0;
    return stat;
}

std::optional<std::uint64_t> TotalCpuTicks(std::string_view statText)
{
    std::optional<std::uint64_t> total;
    ForEachLine(statText, [&total](std::string_view line) {
        if (total || !line.starts_with("cpu "))
            return;
        line.remove_prefix(4);
        std::uint64_t sum = 0;
        for (int field = 0; field < 8; ++field) {
            const std::string_view token = NextToken(line);
            if (token.empty() && field >= 4)
                break;
            const auto value = ParseUnsigned(token);
            if (!value)
                return;
            sum += *value;
        }
        total = sum;
    });
    return total;
}

TTopProcesses::TTopProcesses(std::string procfsRoot, std::size_t count)
    : Root(std::move(procfsRoot))
    , Count(std::min(count, TopProcessLimit))
    , PageBytes(static_cast<std::uint64_t>(std::max(1L, ::sysconf(_SC_PAGESIZE))))
    , Processes(Root)
{
}

TTopLists TTopProcesses::Sample()
{
    std::vector<char> statBuffer;
    const auto statText = [&]() -> std::optional<std::string> {
        const TUniqueFd fd(::open((Root + "/stat").c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
        const auto text = ReadWhole(fd.Get(), statBuffer);
        return text ? std::optional<std::string>(*text) : std::nullopt;
    }();
    const auto total = statText ? TotalCpuTicks(*statText) : std::nullopt;
    const bool compare = total && LastTotalTicks && *total > *LastTotalTicks;
    const double elapsed = compare ? static_cast<double>(*total - *LastTotalTicks) : 0.0;

    std::vector<TCandidate> all;
    std::unordered_map<int, TSeen> seen;
    // Names stay in one growing text, so 2,000 processes cost no allocation each.
    std::string names;
    std::vector<std::pair<std::size_t, std::size_t>> nameSpans;
    char buffer[1024];
    char path[32];
    Processes.ForEachNumeric([&](std::string_view pid) {
        if (seen.size() >= ProcessLimit || pid.size() > 10)
            return;
        std::copy(pid.begin(), pid.end(), path);
        std::copy_n("/stat", 6, path + pid.size());
        const auto text = ReadAt(Processes.Get(), path, buffer, sizeof buffer);
        const auto stat = text ? ParseProcStat(*text) : std::nullopt;
        if (!stat)
            return;
        double share = 0;
        const auto before = Seen.find(stat->Pid);
        if (compare && before != Seen.end() && before->second.StartTicks == stat->StartTicks &&
            stat->Ticks >= before->second.Ticks)
            share = std::min(100.0, static_cast<double>(stat->Ticks - before->second.Ticks) /
                                        elapsed * 100.0);
        seen.emplace(stat->Pid, TSeen{stat->StartTicks, stat->Ticks});
        nameSpans.emplace_back(names.size(), stat->Name.size());
        names.append(stat->Name);
        TCandidate candidate;
        candidate.Pid = stat->Pid;
        candidate.CpuPercent = share;
        candidate.ResidentBytes = stat->ResidentPages * PageBytes;
        all.push_back(candidate);
    });
    Seen = std::move(seen);
    LastTotalTicks = total;
    for (std::size_t i = 0; i < all.size(); ++i)
        all[i].RawName = std::string_view(names).substr(nameSpans[i].first, nameSpans[i].second);

    TTopLists lists;
    if (compare)
        lists.ByCpu = Best(all, Count, [](const TCandidate& a, const TCandidate& b) {
            return a.CpuPercent != b.CpuPercent ? a.CpuPercent > b.CpuPercent : a.Pid < b.Pid;
        });
    lists.ByMemory = Best(all, Count, [](const TCandidate& a, const TCandidate& b) {
        return a.ResidentBytes != b.ResidentBytes ? a.ResidentBytes > b.ResidentBytes
                                                  : a.Pid < b.Pid;
    });
    return lists;
}

} // namespace statlume::platform
