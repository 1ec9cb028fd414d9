#include "exporter/metrics_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>

#include "base/printable_text.h"
#include "format/item_catalogue.h"
#include "record/raw_data.h"

namespace statlume {

namespace {

constexpr double BytesPerKB = 1024.0;
// A fan reading the sensor block marks as unreadable; the display shows it as 0.
constexpr std::int32_t UnreadableFan = 255;

using TLabels = std::initializer_list<std::pair<std::string_view, std::string_view>>;

std::string Number(double value)
{
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value > 0 ? "+Inf" : "-Inf";
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

// A float field printed at its own precision: 12.3, not 12.300000190734863.
std::string Number(float value)
{
    if (!std::isfinite(value))
        return Number(static_cast<double>(value));
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string LabelValue(std::string_view text)
{
    std::string out;
    for (const char c : PrintableText(text)) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out;
}

class TExposition
{
public:
    void Family(std::string_view name, std::string_view type, std::string_view help)
    {
        Text.append("# HELP ").append(name).append(" ").append(help).append("\n");
        Text.append("# TYPE ").append(name).append(" ").append(type).append("\n");
        Name = name;
    }

    void Sample(TLabels labels, const std::string& value)
    {
        Text.append(Name);
        if (labels.size() > 0) {
            Text += '{';
            bool first = true;
            for (const auto& [label, labelValue] : labels) {
                if (!first)
                    Text += ',';
                first = false;
                Text.append(label).append("=\"").append(LabelValue(labelValue)).append("\"");
            }
            Text += '}';
        }
        Text.append(" ").append(value).append("\n");
    }

    std::string Text;

private:
    std::string Name;
};

constexpr const char* SlotNames[5] = {"total", "1", "2", "3", "4"};
constexpr const char* CpuNames[5] = {"total", "0", "1", "2", "3"};
constexpr const char* SensorNames[3] = {"1", "2", "3"};

// The family of an item's figure, named and described by its catalogue row.
const TItemMetric& ItemFamily(TExposition& out, TItem item)
{
    const TItemMetric& metric = ItemRow(item).Metric;
    out.Family(metric.Name, metric.Name.ends_with("_total") ? "counter" : "gauge", metric.Help);
    return metric;
}

void Processor(TExposition& out, const TRawData& data)
{
    const TItemMetric& metric = ItemFamily(out, TItem::ProcUsage);
    for (std::size_t i = 0; i < 5; ++i)
        out.Sample({{metric.Labels, CpuNames[i]}}, Number(data.ProcUsage[i] / 100.0f));
}

void Network(TExposition& out, const TRawData& data)
{
    const TItemMetric& read = ItemFamily(out, TItem::NetRead);
    for (std::size_t i = 0; i < 5; ++i)
        out.Sample({{read.Labels, SlotNames[i]}}, Number(data.NetRead[i] * BytesPerKB));
    const TItemMetric& write = ItemFamily(out, TItem::NetWrite);
    for (std::size_t i = 0; i < 5; ++i)
        out.Sample({{write.Labels, SlotNames[i]}}, Number(data.NetWrite[i] * BytesPerKB));
}

void System(TExposition& out, const TRawData& data)
{
    ItemFamily(out, TItem::Uptime);
    out.Sample({}, std::to_string(data.UptimeSecs));
    // The record keeps the low 16 bits of each count.
    ItemFamily(out, TItem::Processes);
    out.Sample({}, std::to_string(static_cast<std::uint16_t>(data.ProcessCount)));
    ItemFamily(out, TItem::Threads);
    out.Sample({}, std::to_string(static_cast<std::uint16_t>(data.ThreadCount)));
}

void Memory(TExposition& out, const TRawData& data)
{
    ItemFamily(out, TItem::RAMFree);
    out.Sample({{"kind", "ram"}, {"state", "free"}}, std::to_string(RAMFreeBytes64(data)));
    out.Sample({{"kind", "ram"}, {"state", "total"}}, std::to_string(RAMTotalBytes64(data)));
    out.Sample({{"kind", "swap"}, {"state", "free"}}, std::to_string(PageFreeBytes64(data)));
    out.Sample({{"kind", "swap"}, {"state", "total"}}, std::to_string(PageTotalBytes64(data)));
}

void Drives(TExposition& out, const TRawData& data, const TDriveMap& mounts)
{
    bool any = false;
    for (const TDriveEntry& drive : data.Drives)
        any = any || drive.Letter != 0;
    if (!any)
        return;
    ItemFamily(out, TItem::DriveSpace);
    bool seen[256] = {};
    for (const TDriveEntry& drive : data.Drives) {
        const auto letter = static_cast<unsigned char>(drive.Letter);
        // A peer's record may repeat a letter; one series each.
        if (letter == 0 || seen[letter])
            continue;
        seen[letter] = true;
        const std::string name(1, drive.Letter);
        const std::string mount = MountPointOf(mounts, drive.Letter);
        out.Sample({{"drive", name}, {"mount", mount}, {"state", "free"}},
                   Number(static_cast<double>(drive.FreeMB) * BytesPerMB));
        out.Sample({{"drive", name}, {"mount", mount}, {"state", "total"}},
                   Number(static_cast<double>(drive.TotalMB) * BytesPerMB));
    }
}

void Sensors(TExposition& out, const TRawData& data)
{
    const TItemMetric& temperature = ItemFamily(out, TItem::Temp1);
    for (std::size_t i = 0; i < 3; ++i)
        out.Sample({{temperature.Labels, SensorNames[i]}}, std::to_string(data.Temps[i]));
    const TItemMetric& fan = ItemFamily(out, TItem::Fan1);
    for (std::size_t i = 0; i < 3; ++i)
        out.Sample({{fan.Labels, SensorNames[i]}},
                   std::to_string(data.Fans[i] == UnreadableFan ? 0 : data.Fans[i]));
}

void Disks(TExposition& out, const std::vector<TDiskFigure>& disks)
{
    const auto whole = [](const TDiskFigure& disk) { return disk.Whole; };
    if (std::none_of(disks.begin(), disks.end(), whole))
        return;
    const TItemMetric& read = ItemFamily(out, TItem::DiskRead);
    for (const TDiskFigure& disk : disks) {
        if (disk.Whole)
            out.Sample({{read.Labels, disk.Name}}, std::to_string(disk.ReadBytes));
    }
    const TItemMetric& written = ItemFamily(out, TItem::DiskWrite);
    for (const TDiskFigure& disk : disks) {
        if (disk.Whole)
            out.Sample({{written.Labels, disk.Name}}, std::to_string(disk.WrittenBytes));
    }
}

// One series per battery; the batteries together (no name) are a sum a query can make.
void Batteries(TExposition& out, const std::vector<TBatteryFigure>& batteries)
{
    const auto named = [](const TBatteryFigure& b) { return !b.Name.empty(); };
    if (std::none_of(batteries.begin(), batteries.end(), named))
        return;
    const TItemMetric& charge = ItemFamily(out, TItem::BatteryCharge);
    for (const TBatteryFigure& battery : batteries) {
        if (named(battery) && battery.ChargePercent)
            out.Sample({{charge.Labels, battery.Name}}, Number(*battery.ChargePercent / 100.0));
    }
    const TItemMetric& power = ItemFamily(out, TItem::BatteryPower);
    for (const TBatteryFigure& battery : batteries) {
        if (named(battery) && battery.PowerWatts)
            out.Sample({{power.Labels, battery.Name}}, Number(*battery.PowerWatts));
    }
}

std::optional<double> Bytes(std::optional<std::uint64_t> count)
{
    return count ? std::optional<double>(static_cast<double>(*count)) : std::nullopt;
}

// One series per GPU and figure it gives, labelled with its number (as FORMAT picks it) and
// name; a sleeping GPU gives busy 0 and nothing else.
void Gpus(TExposition& out, const std::vector<TGpuFigure>& gpus)
{
    if (gpus.empty())
        return;
    const auto series = [&](TItem item, std::optional<double> (*value)(const TGpuFigure&)) {
        ItemFamily(out, item);
        for (std::size_t i = 0; i < gpus.size(); ++i) {
            if (const auto figure = value(gpus[i]))
                out.Sample({{"gpu", std::to_string(i + 1)}, {"name", gpus[i].Name}},
                           Number(*figure));
        }
    };
    series(TItem::GPUUsage, [](const TGpuFigure& gpu) {
        return gpu.BusyPercent ? std::optional<double>(*gpu.BusyPercent / 100.0) : std::nullopt;
    });
    series(TItem::GPUMemUsed, [](const TGpuFigure& gpu) { return Bytes(gpu.MemoryUsedBytes); });
    series(TItem::GPUMemTotal, [](const TGpuFigure& gpu) { return Bytes(gpu.MemoryTotalBytes); });
    series(TItem::GPUTemp, [](const TGpuFigure& gpu) { return gpu.TemperatureCelsius; });
    series(TItem::GPUPower, [](const TGpuFigure& gpu) { return gpu.PowerWatts; });
}

} // namespace

std::string RenderExposition(const TMetricsSnapshot& snapshot, std::string_view version)
{
    TExposition out;
    out.Text.reserve(4096);
    out.Family("statlume_up", "gauge",
               "1 when the figures are current (a client: its server answers), else 0.");
    out.Sample({}, snapshot.Up && snapshot.HasRecord ? "1" : "0");
    out.Family("statlume_build_info", "gauge", "Always 1; the version of statlume-cli.");
    out.Sample({{"version", version}}, "1");
    if (!snapshot.HasRecord || !snapshot.Up)
        return std::move(out.Text);
    Processor(out, snapshot.Data);
    Network(out, snapshot.Data);
    System(out, snapshot.Data);
    Memory(out, snapshot.Data);
    Drives(out, snapshot.Data, snapshot.Mounts);
    Sensors(out, snapshot.Data);
    Disks(out, snapshot.Beyond.Disks);
    Batteries(out, snapshot.Beyond.Batteries);
    Gpus(out, snapshot.Beyond.Gpus);
    return std::move(out.Text);
}

} // namespace statlume
