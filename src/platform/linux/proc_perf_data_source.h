#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/linux/proc_file.h"
#include "platform/linux/process_counter.h"
#include "platform/perf_block_writer.h"
#include "platform/perf_data_source.h"

namespace statlume::platform {

/// Result of a query whose procfs source was missing or unreadable.
inline constexpr long ErrorInvalidData = 13;

/// Builds the performance blocks "238" (processor), "230" (process), "638" (network) and
/// "2" (system) from procfs. The files read on every tick are kept open and read with pread.
class TProcPerfDataSource : public PerfDataSource
{
public:
    /// A monotonic clock in 100 ns units.
    using TClock = std::function<std::int64_t()>;

    /// Reads below root (a fixture folder in tests); clock defaults to CLOCK_MONOTONIC.
    explicit TProcPerfDataSource(std::string root = "/proc", TClock clock = {});
    TProcPerfDataSource(const TProcPerfDataSource&) = delete;
    TProcPerfDataSource& operator=(const TProcPerfDataSource&) = delete;

    long Query(std::string_view objectIndex, std::uint8_t* buffer, std::uint32_t& size) override;
    std::string LastProblem() const override { return Problem; }

private:
    bool BuildProcessor(std::int64_t now);
    bool BuildProcess(std::int64_t now);
    bool BuildNetwork(std::int64_t now);
    bool BuildSystem(std::int64_t now);
    std::optional<std::int64_t> SinceBoot();
    bool Fail(std::string problem);

    std::string Root;
    TClock Clock;
    std::int64_t HundredNsPerTick;
    TProcFile Stat;
    TProcFile NetDev;
    TProcFile LoadAvg;
    // The real /proc/uptime is the boot clock, read without a system call; other roots
    // (fixtures) are read from their uptime file.
    bool UseBootClock;
    TProcFile Uptime;
    TProcDirectory Processes;
    // Counts through Processes, so it comes after it.
    TProcessCounter ProcessCounter;
    TPerfBlockWriter Writer;
    std::vector<char> PidBuffer;
    std::vector<std::uint64_t> Idle;
    std::vector<std::string> CpuNames;
    // A block that did not fit is kept for the caller's retry with a larger buffer, so
    // growing the buffer does not rebuild the block each time.
    std::string PendingIndex;
    std::int64_t PendingTime = 0;
    std::string Problem;
};

} // namespace statlume::platform
