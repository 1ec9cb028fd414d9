// The processes that use the most processor time and resident memory, from procfs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/figure_source.h"
#include "platform/linux/proc_file.h"

namespace statlume::platform {

/// Most places either top list holds.
inline constexpr std::size_t TopProcessLimit = 10;

/// The fields of a /proc/<pid>/stat text the lists need; Name is a view into the text.
struct TProcStat
{
    int Pid = 0;
    std::string_view Name;
    /// User plus system time, and the start after boot, in clock ticks.
    std::uint64_t Ticks = 0;
    std::uint64_t StartTicks = 0;
    /// Resident pages (the counter statm's second field shows).
    std::uint64_t ResidentPages = 0;
};

/// The fields of one stat text; the name is what lies between the first "(" and the last
/// ")", so a name holding ") " cannot shift the fields. Empty when malformed.
std::optional<TProcStat> ParseProcStat(std::string_view text);

/// The sum of the first eight figures of the "cpu " line of a /proc/stat text (the time
/// every processor spent, guest time being part of user time), in clock ticks; empty when
/// there is no such line.
std::optional<std::uint64_t> TotalCpuTicks(std::string_view statText);

/// Samples every process under the procfs root and keeps, for the next sample, each one's
/// time keyed by pid and start time, so a reused pid is not taken for the process before.
class TTopProcesses
{
public:
    /// Reads procfsRoot; lists hold up to count processes (at most TopProcessLimit).
    explicit TTopProcesses(std::string procfsRoot = "/proc", std::size_t count = TopProcessLimit);

    /// One sample: the lists by processor share since the previous sample and by resident
    /// memory now. Processes that vanished are forgotten.
    TTopLists Sample();

private:
    struct TSeen
    {
        std::uint64_t StartTicks = 0;
        std::uint64_t Ticks = 0;
    };

    std::string Root;
    std::size_t Count;
    std::uint64_t PageBytes;
    TProcDirectory Processes;
    std::unordered_map<int, TSeen> Seen;
    std::optional<std::uint64_t> LastTotalTicks;
};

} // namespace statlume::platform
