#include "platform/linux/proc_perf_data_source.h"

#include <array>
#include <charconv>
#include <cstring>

#include "platform/linux/errno_text.h"
#include "platform/linux/line_scan.h"
#include "platform/perf_layout.h"

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

namespace statlume::platform {

namespace {

constexpr std::int64_t HundredNsPerSecond = 10'000'000;
// How long a block that did not fit may be handed out on the caller's retry.
constexpr std::int64_t PendingLifetime = HundredNsPerSecond / 2;

std::int64_t MonotonicNow()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * HundredNsPerSecond + now.tv_nsec / 100;
}

// The time since boot as /proc/uptime gives it (centiseconds, counting suspend), in 100 ns
// units, without a file read: the kernel derives that file from this very clock.
std::int64_t BootClockNow()
{
    timespec now{};
    ::clock_gettime(CLOCK_BOOTTIME, &now);
    return static_cast<std::int64_t>(now.tv_sec) * HundredNsPerSecond +
           now.tv_nsec / 10'000'000 * (HundredNsPerSecond / 100);
}

bool IsSpace(char c)
{
    return c == ' ' || c == '\t';
}

// Takes the next blank-separated token of one line.
std::string_view NextToken(std::string_view& text)
{
    std::size_t pos = 0;
    while (pos < text.size() && IsSpace(text[pos]))
        ++pos;
    std::size_t end = pos;
    while (end < text.size() && !IsSpace(text[end]))
        ++end;
    const std::string_view token = text.substr(pos, end - pos);
    text.remove_prefix(end);
    return token;
}

std::optional<std::uint64_t> ParseNumber(std::string_view token)
{
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (error != std::errc{} || token.empty())
        return std::nullopt;
    return value;
}

std::optional<std::uint64_t> NextNumber(std::string_view& text)
{
    return ParseNumber(NextToken(text));
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && IsSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

// Seconds with an optional fraction ("12345.67") in 100 ns units.
std::optional<std::int64_t> ParseSeconds100ns(std::string_view token)
{
    const std::size_t dot = token.find('.');
    const auto whole = ParseNumber(token.substr(0, dot));
    if (!whole)
        return std::nullopt;
    std::int64_t value = static_cast<std::int64_t>(*whole) * HundredNsPerSecond;
    if (dot != std::string_view::npos) {
        std::int64_t scale = HundredNsPerSecond / 10;
        for (std::size_t i = dot + 1; i < token.size() && scale > 0; ++i, scale /= 10) {
            if (token[i] < '0' || token[i] > '9')
                return std::nullopt;
            value += (token[i] - '0') * scale;
        }
    }
    return value;
}

// What the process object needs of one /proc/<pid>/stat text.
struct TPidStat
{
    std::string_view Name;
    std::uint64_t Pid = 0;
    // User plus system time and the start after boot, in clock ticks.
    std::uint64_t Ticks = 0;
    std::uint64_t StartTicks = 0;
};

std::optional<TPidStat> ParsePidStat(std::string_view text)
{
    const std::size_t open = text.find('(');
    const std::size_t close = text.rfind(')');
    if (open == std::string_view::npos || close == std::string_view::npos || close < open)
        return std::nullopt;
    TPidStat stat;
    stat.Name = text.substr(open + 1, close - open - 1);
    std::string_view head = text.substr(0, open);
    const auto pid = NextNumber(head);
    std::string_view rest = text.substr(close + 1);
    // Fields 3 (state) to 13 come before utime and stime, 16 to 21 before starttime.
    for (int field = 3; field <= 13; ++field)
        NextToken(rest);
    const auto user = NextNumber(rest);
    const auto system = NextNumber(rest);
    for (int field = 16; field <= 21; ++field)
        NextToken(rest);
    const auto start = NextNumber(rest);
    if (!pid || !user || !system || !start)
        return std::nullopt;
    stat.Pid = *pid;
    stat.Ticks = *user + *system;
    stat.StartTicks = *start;
    return stat;
}

} // namespace

TProcPerfDataSource::TProcPerfDataSource(std::string root, TClock clock)
    : Root(std::move(root))
    , Clock(clock ? std::move(clock) : TClock(MonotonicNow))
    , HundredNsPerTick(HundredNsPerSecond / std::max(1L, ::sysconf(_SC_CLK_TCK)))
    , Stat(Root + "/stat")
    , NetDev(Root + "/net/dev")
    , LoadAvg(Root + "/loadavg")
    , UseBootClock(Root == "/proc")
    , Uptime(UseBootClock ? std::string() : Root + "/uptime")
    , Processes(Root)
    , ProcessCounter([this] { return LinkCountOf(Processes.Get()); },
                     [this]() -> std::optional<std::uint64_t> {
                         std::uint64_t count = 0;
                         if (!Processes.ForEachNumeric([&count](std::string_view) { ++count; }))
                             return std::nullopt;
                         return count;
                     },
                     SeesEveryProcess(Root))
{
}

long TProcPerfDataSource::Query(std::string_view objectIndex, std::uint8_t* buffer,
                                std::uint32_t& size)
{
    const std::int64_t now = Clock();
    const bool reuse = PendingIndex == objectIndex && now - PendingTime < PendingLifetime;
    if (!reuse) {
        PendingIndex.clear();
        bool built = false;
        if (objectIndex == "238")
            built = BuildProcessor(now);
        else if (objectIndex == "230")
            built = BuildProcess(now);
        else if (objectIndex == "638")
            built = BuildNetwork(now);
        else if (objectIndex == "2")
            built = BuildSystem(now);
        else
            return 2;
        if (!built)
            return ErrorInvalidData;
        PendingTime = now;
    }
    const auto bytes = Writer.Bytes();
    if (bytes.size() > size) {
        PendingIndex.assign(objectIndex);
        return ErrorMoreData;
    }
    std::memcpy(buffer, bytes.data(), bytes.size());
    size = static_cast<std::uint32_t>(bytes.size());
    PendingIndex.clear();
    return ErrorSuccess;
}

bool TProcPerfDataSource::BuildProcessor(std::int64_t now)
{
    const auto text = Stat.Read();
    if (!text)
        return Fail(Stat.Problem());
    Idle.clear();
    std::size_t count = 0;
    bool malformed = false;
    ForEachLine(*text, [&](std::string_view line) {
        if (line.size() < 4 || !line.starts_with("cpu") || line[3] < '0' || line[3] > '9')
            return;
        std::string_view rest = line;
        const std::string_view label = NextToken(rest).substr(3);
        std::array<std::uint64_t, 5> fields{};
        for (std::size_t k = 0; k < fields.size(); ++k)
            fields[k] = NextNumber(rest).value_or(0);
        // user nice system idle iowait: the idle share is idle plus waiting for I/O.
        const std::uint64_t idle = fields[3] + fields[4];
        Idle.push_back(idle * static_cast<std::uint64_t>(HundredNsPerTick));
        if (count < CpuNames.size())
            CpuNames[count].assign(label);
        else
            CpuNames.emplace_back(label);
        ++count;
        malformed = malformed || label.empty();
    });
    if (count == 0 || malformed)
        return Fail(Stat.Path() + " lists no processor in the expected form");

    // An exact mean: sum the quotients and the remainders apart so nothing overflows.
    std::uint64_t quotients = 0;
    std::uint64_t remainders = 0;
    for (const std::uint64_t value : Idle) {
        quotients += value / count;
        remainders += value % count;
    }
    const std::uint64_t mean = quotients + remainders / count;

    static constexpr TPerfCounterInfo Counters[] = {{perf::title::IdleTime, 8}};
    Writer.Begin(now, HundredNsPerSecond, now);
    Writer.BeginObject(perf::title::ProcessorObject, Counters, true, now, HundredNsPerSecond);
    for (std::size_t i = 0; i < count; ++i)
        Writer.AddInstance(CpuNames[i], std::span(&Idle[i], 1));
    Writer.AddInstance("_Total", std::span(&mean, 1));
    Writer.EndObject();
    Writer.End();
    return true;
}

bool TProcPerfDataSource::BuildProcess(std::int64_t now)
{
    // Pid and start time let the reader tell a process from a later one with the same pid.
    static constexpr TPerfCounterInfo Counters[] = {
        {perf::title::ProcessTime, 8}, {perf::title::ProcessId, 8}, {perf::title::ProcessStart, 8}};
    Writer.Begin(now, HundredNsPerSecond, now);
    Writer.BeginObject(perf::title::ProcessObject, Counters, true, now, HundredNsPerSecond);
    const bool listed = Processes.ForEachNumeric([this](std::string_view pid) {
        std::array<char, 64> path{};
        if (pid.size() + 6 > path.size())
            return;
        std::memcpy(path.data(), pid.data(), pid.size());
        std::memcpy(path.data() + pid.size(), "/stat", 6);
        // A process that ended since the listing is simply left out.
        const TUniqueFd fd(::openat(Processes.Get(), path.data(), O_RDONLY | O_CLOEXEC));
        const auto text = ReadWhole(fd.Get(), PidBuffer);
        const auto stat = text ? ParsePidStat(*text) : std::nullopt;
        if (!stat)
            return;
        const auto perTick = static_cast<std::uint64_t>(HundredNsPerTick);
        const std::array<std::uint64_t, 3> values{stat->Ticks * perTick, stat->Pid,
                                                  stat->StartTicks * perTick};
        Writer.AddInstance(stat->Name, values);
    });
    if (!listed)
        return Fail(ErrnoText("cannot list the processes in " + Root));
    Writer.EndObject();
    Writer.End();
    return true;
}

bool TProcPerfDataSource::BuildNetwork(std::int64_t now)
{
    const auto text = NetDev.Read();
    if (!text)
        return Fail(NetDev.Problem());
    static constexpr TPerfCounterInfo Counters[] = {{perf::title::BytesReceived, 4},
                                                    {perf::title::BytesSent, 4}};
    Writer.Begin(now, HundredNsPerSecond, now);
    Writer.BeginObject(perf::title::NetworkObject, Counters, true, now, HundredNsPerSecond);
    ForEachLine(*text, [this](std::string_view line) {
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            return;
        const std::string_view name = Trim(line.substr(0, colon));
        if (name.empty() || name == "lo")
            return;
        std::string_view rest = line.substr(colon + 1);
        const auto received = NextNumber(rest);
        for (int skip = 0; skip < 7; ++skip)
            NextToken(rest);
        const auto sent = NextNumber(rest);
        if (!received || !sent)
            return;
        // The counters are 32 bits wide and wrap, as the readers expect.
        const std::array<std::uint64_t, 2> values{*received & 0xFFFFFFFFu, *sent & 0xFFFFFFFFu};
        Writer.AddInstance(name, values);
    });
    Writer.EndObject();
    Writer.End();
    return true;
}

bool TProcPerfDataSource::Fail(std::string problem)
{
    Problem = std::move(problem);
    return false;
}

std::optional<std::int64_t> TProcPerfDataSource::SinceBoot()
{
    if (UseBootClock)
        return BootClockNow();
    const auto text = Uptime.Read();
    if (!text)
        return std::nullopt;
    std::string_view rest = *text;
    return ParseSeconds100ns(NextToken(rest));
}

bool TProcPerfDataSource::BuildSystem(std::int64_t now)
{
    const auto uptime = SinceBoot();
    if (!uptime)
        return Fail(Uptime.Problem());
    const auto loadText = LoadAvg.Read();
    if (!loadText)
        return Fail(LoadAvg.Problem());
    // nr_threads: the count after the slash in "0.00 0.01 0.05 1/234 5678".
    const std::size_t slash = loadText->find('/');
    if (slash == std::string_view::npos)
        return Fail(LoadAvg.Path() + " holds no thread count");
    std::string_view threadsText = loadText->substr(slash + 1);
    const auto threads = NextNumber(threadsText);
    const auto processes = threads ? ProcessCounter.Count(now) : std::nullopt;
    if (!processes)
        return Fail(ErrnoText("cannot count the processes in " + Root));

    // Boot time on the object's clock, so that (PerfTime - value) / PerfFreq is the uptime.
    const std::array<std::uint64_t, 3> values{static_cast<std::uint64_t>(now - *uptime), *processes,
                                              *threads};
    static constexpr TPerfCounterInfo Counters[] = {{perf::title::SystemUpTime, 8},
                                                    {perf::title::ProcessCount, 4},
                                                    {perf::title::ThreadCount, 4}};
    Writer.Begin(now, HundredNsPerSecond, now);
    Writer.BeginObject(perf::title::SystemObject, Counters, false, now, HundredNsPerSecond);
    Writer.AddCounterBlock(values);
    Writer.EndObject();
    Writer.End();
    return true;
}

} // namespace statlume::platform
