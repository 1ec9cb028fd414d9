#include "collect/perf_collector.h"

#include <algorithm>
#include <limits>

#include "base/ascii_case.h"
#include "platform/perf_layout.h"

namespace statlume {

namespace {

constexpr std::uint32_t GrowthStep = 1024;
constexpr std::int64_t HundredNsPerSecond = 10'000'000;
constexpr std::size_t ProcessorSlots = 4;
constexpr std::size_t NetworkSlots = 4;
// At most this many excluded processes are followed; each is counted once.
constexpr std::size_t ExclusionSlots = 10;

// Counters are free-running: differences wrap instead of overflowing.
std::int64_t Diff64(std::int64_t cur, std::int64_t prev)
{
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(cur) -
                                     static_cast<std::uint64_t>(prev));
}

// Upper-cases into a buffer that keeps its capacity, so a steady exclusion allocates nothing.
void UpperInto(std::string_view text, std::string& out)
{
    out.assign(text);
    std::transform(out.begin(), out.end(), out.begin(), AsciiUpper);
}

const TPerfCounterDef* FindCounter(const TPerfObject& object, std::uint32_t titleIndex)
{
    for (const TPerfCounterDef& counter : object.Counters)
        if (counter.TitleIndex == titleIndex)
            return &counter;
    return nullptr;
}

} // namespace

TPerfCollector::TPerfCollector(platform::PerfDataSource& source)
    : Source(source)
{
    ResetBufferSizes();
}

void TPerfCollector::ResetBufferSizes()
{
    PerfBufSize.fill(InitialBufferSize);
}

const std::array<std::uint32_t, 5>& TPerfCollector::BufferSizes() const
{
    return PerfBufSize;
}

std::optional<std::span<const std::uint8_t>>
TPerfCollector::QueryPerfData(TSlot slot, std::string_view index, std::vector<std::uint8_t>& buffer)
{
    std::uint32_t& remembered = PerfBufSize[static_cast<std::size_t>(slot)];
    std::uint32_t size = remembered;
    buffer.resize(size);
    for (;;) {
        std::uint32_t returned = size;
        const long result = Source.Query(index, buffer.data(), returned);
        if (result == platform::ErrorMoreData) {
            // Growth is monotone and capped, so a source that always wants more ends here.
            const std::uint32_t base = std::max(size, returned);
            if (base > MaxBufferSize - GrowthStep)
                return std::nullopt;
            size = base + GrowthStep;
            buffer.resize(size);
            remembered = std::max(remembered, size);
            continue;
        }
        if (result != platform::ErrorSuccess)
            return std::nullopt;
        return std::span<const std::uint8_t>(buffer.data(), std::min(returned, size));
    }
}

bool TPerfCollector::ReadFirstObject(TSlot slot, std::string_view index,
                                     std::vector<std::uint8_t>& buffer, TPerfObject& object,
                                     std::int64_t* perfTime100ns)
{
    const auto bytes = QueryPerfData(slot, index, buffer);
    if (!bytes)
        return false;
    const auto block = TPerfBlock::Open(*bytes);
    if (!block || !block->ReadObject(block->FirstObjectOffset(), object))
        return false;
    if (perfTime100ns)
        *perfTime100ns = block->PerfTime100nSec();
    return true;
}

bool TPerfCollector::ProcessorStep(TRawData& data, const std::vector<std::string>& excludeList)
{
    std::int64_t perfTime = 0;
    if (!ReadFirstObject(TSlot::Processor, "238", Buffer, Object, &perfTime))
        return FailProcessor(data);
    ProcessorSamples = std::min(ProcessorSamples + 1, 2);
    Perf100nsPrev = Perf100nsCur;
    Perf100nsCur = perfTime;
    const std::int64_t timeDiff = Diff64(Perf100nsCur, Perf100nsPrev);
    const TPerfCounterDef* idle = FindCounter(Object, perf::title::IdleTime);
    if (!Object.HasInstances() || idle == nullptr) {
        CoreUsages.Forget();
        return true;
    }
    if (Detail.CoresBeyondFour)
        CoreUsages.Update(Object, *idle, timeDiff);
    else
        CoreUsages.Forget();

    // Every instance is examined: "_Total" may stand anywhere (it is last on machines with
    // four or more processors) and fills entry 0; the first four others fill entries 1..4.
    const std::int64_t processors = static_cast<std::int64_t>(Object.NumInstances) - 1;
    std::size_t position = 0;
    std::array<bool, 5> seen{};
    for (std::size_t i = 0; i < Object.BlockCount(); ++i) {
        const std::string_view name = Object.InstanceName(i);
        const bool isTotal = name.starts_with("_Total");
        if (!isTotal && position >= ProcessorSlots)
            continue;
        const std::size_t slot = isTotal ? 0 : ++position;
        const auto value = Object.Value64(i, *idle);
        if (!value)
            return FailProcessor(data);
        seen[slot] = true;
        double usage = 0;
        const bool stored = StoreUsage(data, slot, isTotal ? TotalIdle : CpuIdle[slot - 1], name,
                                       *value, timeDiff, usage);
        // The excluded processes are sampled on every step, so the next one can subtract.
        if (isTotal && !excludeList.empty()) {
            if (!ApplyExclusion(usage, processors, excludeList))
                return FailProcessor(data);
            if (stored)
                data.ProcUsage[0] = static_cast<float>(usage);
        }
    }
    // A processor that went away leaves its entry without a value (one never seen keeps 0).
    for (std::size_t slot = 0; slot < seen.size(); ++slot) {
        TIdleSample& sample = slot == 0 ? TotalIdle : CpuIdle[slot - 1];
        if (seen[slot] || !sample.Valid)
            continue;
        sample.Valid = false;
        data.ProcUsage[slot] = 0;
        KnownFigures.Proc[slot] = false;
    }
    return true;
}

bool TPerfCollector::StoreUsage(TRawData& data, std::size_t slot, TIdleSample& sample,
                                std::string_view name, std::int64_t value, std::int64_t timeDiff,
                                double& usage)
{
    // A first sample, or a slot that held another processor before, has nothing to compare.
    const bool comparable = sample.Valid && sample.Name == name;
    sample.Prev = sample.Cur;
    sample.Cur = value;
    sample.Valid = true;
    if (!comparable)
        sample.Name.assign(name);
    if (timeDiff == 0)
        return false;
    if (!comparable) {
        data.ProcUsage[slot] = 0;
        KnownFigures.Proc[slot] = false;
        return false;
    }
    usage = UsageFromIdle(sample.Cur, sample.Prev, timeDiff);
    data.ProcUsage[slot] = static_cast<float>(usage);
    KnownFigures.Proc[slot] = true;
    return true;
}

bool TPerfCollector::FailProcessor(TRawData& data)
{
    ForgetProcessor();
    std::fill(std::begin(data.ProcUsage), std::end(data.ProcUsage), 0.0f);
    KnownFigures.Proc.fill(false);
    return false;
}

void TPerfCollector::SetFigureDetail(const TFigureDetail& detail)
{
    // Told on every collection: the names are copied only when the template changed them.
    if (detail != Detail)
        Detail = detail;
}

void TPerfCollector::ForgetProcessor()
{
    CoreUsages.Forget();
    ProcessorSamples = 0;
    Perf100nsCur = 0;
    Perf100nsPrev = 0;
    for (TIdleSample& sample : CpuIdle)
        sample.Valid = false;
    TotalIdle.Valid = false;
    ExclCur.clear();
    ExclPrev.clear();
}

bool TPerfCollector::ApplyExclusion(double& usage, std::int64_t processors,
                                    const std::vector<std::string>& excludeList)
{
    UpperEntries.resize(excludeList.size());
    for (std::size_t e = 0; e < excludeList.size(); ++e)
        UpperInto(TrimBlanks(excludeList[e]), UpperEntries[e]);
    if (!ReadFirstObject(TSlot::Process, "230", ProcessBuffer, ProcessObject, nullptr))
        return false;
    if (!SampleExcluded())
        return false;

    // The product is taken as a 64-bit integer; zero or less (no processors, no time step or a
    // wrapped product) subtracts nothing rather than dividing by it.
    const std::int64_t scaledTime = static_cast<std::int64_t>(
        static_cast<std::uint64_t>(Diff64(Perf100nsCur, Perf100nsPrev)) *
        static_cast<std::uint64_t>(std::max<std::int64_t>(processors, 0)));
    if (scaledTime > 0)
        usage -= ExcludedTimeSincePrev() / static_cast<double>(scaledTime) * 100.0;
    ExclPrev.swap(ExclCur);
    // The two queries are not taken at the same instant and the kernel accounts time in whole
    // ticks, so the difference can stray a little past either end.
    usage = std::clamp(usage, 0.0, 100.0);
    return true;
}

bool TPerfCollector::SampleExcluded()
{
    ExclCur.clear();
    if (!ProcessObject.HasInstances() || ProcessObject.Counters.empty())
        return true;
    const TPerfCounterDef& cpuTime = ProcessObject.Counters.front();
    const TPerfCounterDef* pid = FindCounter(ProcessObject, perf::title::ProcessId);
    const TPerfCounterDef* start = FindCounter(ProcessObject, perf::title::ProcessStart);
    // Without an identity a process cannot be followed from one sample to the next.
    if (pid == nullptr || start == nullptr)
        return true;
    for (std::size_t i = 0; i < ProcessObject.BlockCount() && ExclCur.size() < ExclusionSlots;
         ++i) {
        UpperInto(ProcessObject.InstanceName(i), UpperName);
        const bool matches =
            std::any_of(UpperEntries.begin(), UpperEntries.end(), [this](const std::string& entry) {
                return !entry.empty() && UpperName.find(entry) != std::string::npos;
            });
        if (!matches)
            continue;
        const auto time = ProcessObject.Value64(i, cpuTime);
        const auto id = ProcessObject.Value64(i, *pid);
        const auto started = ProcessObject.Value64(i, *start);
        if (!time || !id || !started)
            return false;
        ExclCur.push_back({*id, *started, *time});
    }
    return true;
}

double TPerfCollector::ExcludedTimeSincePrev() const
{
    // Only a process seen in both samples has a difference: one that started since has no
    // previous value, and a pid reused by a new process has another start time.
    double total = 0;
    for (const TProcessSample& cur : ExclCur) {
        const auto prev =
            std::find_if(ExclPrev.begin(), ExclPrev.end(), [&cur](const TProcessSample& p) {
                return p.Pid == cur.Pid && p.Start == cur.Start;
            });
        if (prev != ExclPrev.end() && Diff64(cur.Time, prev->Time) > 0)
            total += static_cast<double>(Diff64(cur.Time, prev->Time));
    }
    return total;
}

bool TPerfCollector::NetworkStep(TRawData& data, std::uint32_t intervalMs)
{
    std::int64_t perfTime = 0;
    if (!ReadFirstObject(TSlot::Network, "638", Buffer, Object, &perfTime))
        return FailNetwork(data);
    NetworkSamples = std::min(NetworkSamples + 1, 2);
    NetTimePrev = NetTimeCur;
    NetTimeCur = perfTime;
    // The blocks' own clock scales a late tick or a quick second sample right; blocks without
    // a clock fall back on the nominal interval. No time step leaves the rates as they were.
    const std::int64_t elapsed = Diff64(NetTimeCur, NetTimePrev);
    const bool clocked = NetTimeCur != 0 && NetTimePrev != 0;
    double perSecond = 0;
    if (clocked && elapsed > 0)
        perSecond = static_cast<double>(HundredNsPerSecond) / static_cast<double>(elapsed);
    else if (!clocked && intervalMs != 0)
        perSecond = 1000.0 / intervalMs;
    const bool rates = perSecond > 0;
    const TPerfCounterDef* received = FindCounter(Object, perf::title::BytesReceived);
    const TPerfCounterDef* sent = FindCounter(Object, perf::title::BytesSent);
    if (Detail.InterfaceNames.empty() || !Object.HasInstances())
        InterfaceRates.Forget();
    else
        InterfaceRates.Update(Object, received, sent, perSecond, Detail.InterfaceNames);
    const std::size_t count =
        Object.HasInstances() ? std::min(Object.BlockCount(), NetworkSlots) : 0;
    double readSum = 0;
    double writeSum = 0;
    std::size_t compared = 0;
    for (std::size_t t = 0; t < count; ++t) {
        const auto read = received ? Object.Value32(t, *received) : std::uint32_t{0};
        const auto written = sent ? Object.Value32(t, *sent) : std::uint32_t{0};
        if (!read || !written)
            return FailNetwork(data);
        TNetSample& sample = NetSlots[t];
        const std::string_view name = Object.InstanceName(t);
        // A first sample, or a slot that held another interface before, has nothing to compare.
        const bool comparable = sample.Valid && sample.Name == name;
        const std::uint32_t prevRead = sample.Read;
        const std::uint32_t prevWrite = sample.Write;
        sample.Read = *read;
        sample.Write = *written;
        sample.Valid = true;
        if (!comparable)
            sample.Name.assign(name);
        if (!rates)
            continue;
        KnownFigures.Net[t + 1] = comparable;
        data.NetRead[t + 1] = comparable ? RateKBps(sample.Read, prevRead, perSecond) : 0.0f;
        data.NetWrite[t + 1] = comparable ? RateKBps(sample.Write, prevWrite, perSecond) : 0.0f;
        if (!comparable)
            continue;
        readSum += static_cast<std::int32_t>(sample.Read - prevRead);
        writeSum += static_cast<std::int32_t>(sample.Write - prevWrite);
        ++compared;
    }
    for (std::size_t t = count; t < NetworkSlots; ++t) {
        if (!NetSlots[t].Valid)
            continue;
        // An interface that went away leaves its entry without a value.
        NetSlots[t].Valid = false;
        data.NetRead[t + 1] = 0;
        data.NetWrite[t + 1] = 0;
        KnownFigures.Net[t + 1] = false;
    }
    if (!rates)
        return true;
    // The total counts the interfaces seen in both samples: one that just came up would add
    // its whole count as one interval's traffic. No interface at all is no traffic.
    KnownFigures.Net[0] = compared != 0 || count == 0;
    data.NetRead[0] = static_cast<float>(perSecond * (readSum / 1024.0));
    data.NetWrite[0] = static_cast<float>(perSecond * (writeSum / 1024.0));
    return true;
}

bool TPerfCollector::FailNetwork(TRawData& data)
{
    ForgetNetwork();
    std::fill(std::begin(data.NetRead), std::end(data.NetRead), 0.0f);
    std::fill(std::begin(data.NetWrite), std::end(data.NetWrite), 0.0f);
    KnownFigures.Net.fill(false);
    return false;
}

void TPerfCollector::ForgetNetwork()
{
    InterfaceRates.Forget();
    NetworkSamples = 0;
    NetTimeCur = 0;
    NetTimePrev = 0;
    for (TNetSample& sample : NetSlots)
        sample.Valid = false;
}

bool TPerfCollector::SystemStep(TRawData& data, std::int64_t& lastUptimeSecs)
{
    KnownFigures.System = ReadSystem(data, lastUptimeSecs);
    if (!KnownFigures.System) {
        data.UptimeSecs = 0;
        data.ThreadCount = 0;
        data.ProcessCount = 0;
    }
    return KnownFigures.System;
}

bool TPerfCollector::ReadSystem(TRawData& data, std::int64_t& lastUptimeSecs)
{
    const auto bytes = QueryPerfData(TSlot::System, "2", Buffer);
    if (!bytes)
        return false;
    const auto block = TPerfBlock::Open(*bytes);
    if (!block)
        return false;
    std::size_t offset = block->FirstObjectOffset();
    for (std::uint32_t n = 0; n < block->NumObjectTypes(); ++n) {
        // Each object is at least a header long, so a count larger than the data fails here.
        if (!block->ReadObject(offset, Object))
            return false;
        offset = Object.NextOffset;
        if (Object.HasInstances() || Object.TitleIndex != perf::title::SystemObject)
            continue;
        for (const TPerfCounterDef& counter : Object.Counters) {
            if (counter.TitleIndex == perf::title::SystemUpTime) {
                const auto value = Object.Value64(0, counter);
                if (!value)
                    return false;
                const std::int64_t elapsed = Diff64(Object.PerfTime, *value);
                const bool overflows =
                    Object.PerfFreq == -1 && elapsed == std::numeric_limits<std::int64_t>::min();
                if (Object.PerfFreq != 0 && !overflows) {
                    data.UptimeSecs = elapsed / Object.PerfFreq;
                    lastUptimeSecs = data.UptimeSecs;
                }
            } else if (counter.TitleIndex == perf::title::ProcessCount ||
                       counter.TitleIndex == perf::title::ThreadCount) {
                const auto value = Object.Value32(0, counter);
                if (!value)
                    return false;
                const auto low = static_cast<std::int16_t>(static_cast<std::uint16_t>(*value));
                if (counter.TitleIndex == perf::title::ThreadCount) {
                    data.ThreadCount = low;
                    break;
                }
                data.ProcessCount = low;
            }
        }
    }
    return true;
}

} // namespace statlume
