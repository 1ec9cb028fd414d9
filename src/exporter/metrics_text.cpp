#include "exporter/metrics_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <utility>

#include "base/printable_text.h"
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

void Processor(TExposition& out, const TRawData& data)
{
    out.Family("statlume_cpu_usage_ratio", "gauge",
               "Processor usage over the last update interval (0 to 1).");
    for (std::size_t i = 0; i < 5; ++i)
        out.Sample({{"cpu", CpuNames[i]}}, Number(data.ProcUsage[i] / 100.0f));
}

void Network(TExposition& out, const TRawData& data)
{
    out.Family("statlume_network_receive_bytes_per_second", "gauge",
               "Bytes received per second by all network adapters (total) or one of them.");
    for (std::size_t i = 0; i < 5; ++i)
        out.Sample({{"slot", SlotNames[i]}}, Number(data.NetRead[i] * BytesPerKB));
    out.Family("statlume_network_transmit_bytes_per_second", "gauge",
               "Bytes sent per second by all network adapters (total) or one of them.");
    for (std::size_t i = 0; i < 5; ++i)
        out.Sample({{"slot", SlotNames[i]}}, Number(data.NetWrite[i] * BytesPerKB));
}

void System(TExposition& out, const TRawData& data)
{
    out.Family("statlume_uptime_seconds", "gauge", "Seconds since the system started.");
    out.Sample({}, std::to_string(data.UptimeSecs));
    // The record keeps the low 16 bits of each count.
    out.Family("statlume_processes", "gauge", "Processes in the system.");
    out.Sample({}, std::to_string(static_cast<std::uint16_t>(data.ProcessCount)));
    out.Family("statlume_threads", "gauge", "Threads in the system.");
    out.Sample({}, std::to_string(static_cast<std::uint16_t>(data.ThreadCount)));
}

void Memory(TExposition& out, const TRawData& data)
{
    out.Family("statlume_memory_bytes", "gauge", "Physical memory (ram) and swap, free and total.");
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
    out.Family("statlume_filesystem_bytes", "gauge",
               "Space free to the user and total space of the drives measured.");
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
    out.Family("statlume_temperature_celsius", "gauge", "Motherboard temperature sensors.");
    for (std::size_t i = 0; i < 3; ++i)
        out.Sample({{"sensor", SensorNames[i]}}, std::to_string(data.Temps[i]));
    out.Family("statlume_fan_rpm", "gauge", "Fan speeds in revolutions per minute.");
    for (std::size_t i = 0; i < 3; ++i)
        out.Sample({{"sensor", SensorNames[i]}},
                   std::to_string(data.Fans[i] == UnreadableFan ? 0 : data.Fans[i]));
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
    return std::move(out.Text);
}

} // namespace statlume
