#include <map>
#include <sstream>
#include <string>

#include "exporter/metrics_text.h"
#include "format/item_catalogue.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

TMetricsSnapshot FixedSnapshot()
{
    TMetricsSnapshot snapshot;
    TRawData& data = snapshot.Data;
    data.Marker = 'T';
    data.ProcUsage[0] = 12.5f;
    data.ProcUsage[2] = 100.0f;
    data.NetRead[0] = 1.5f;
    data.NetWrite[4] = 2.0f;
    data.UptimeSecs = 93784;
    data.ProcessCount = 312;
    data.ThreadCount = static_cast<std::int16_t>(40000); // above 32767: the low 16 bits
    // 12 GiB of RAM, 5 GiB free: the 32-bit fields alone would wrap.
    SetMemoryBytes(data, 1ull << 30, 2ull << 30, 5ull << 30, 12ull << 30);
    data.Drives[0] = {'C', {}, 2048.0f, 512.0f};
    data.Drives[1] = {'D', {}, 1.0f, 0.5f};
    data.Drives[2] = {'C', {}, 9.0f, 9.0f}; // a peer may repeat a letter
    data.Temps[0] = 41;
    data.Fans[0] = 1200;
    data.Fans[1] = 255;
    snapshot.Beyond.Disks = {{"sda", true, 10240000, 5120000, 1.0, 2.0},
                             {"sda1", false, 1, 1, std::nullopt, std::nullopt}};
    snapshot.Beyond.Batteries = {{"", "Discharging", 40.0, 9.0, 100},
                                 {"BAT0", "Discharging", 50.0, 7.25, 120}};
    snapshot.Beyond.Gpus = {
        {"Radeon", "0000:03:00.0", false, 37.0, 1ull << 30, 8ull << 30, 45.0, 35.5, 2400.0},
        {"AMD 0000:05:00.0", "0000:05:00.0", true, 0.0, {}, {}, {}, {}, {}}};
    snapshot.HasRecord = true;
    snapshot.Mounts = {{'C', "/"}, {'D', "/srv/a \"b\"\\c\n"}};
    return snapshot;
}

TEST(MetricsText, ExposesTheSnapshotInBaseUnits)
{
    const std::string text = RenderExposition(FixedSnapshot(), "1.2.3");
    for (const char* line : {
             "statlume_up 1",
             "statlume_build_info{version=\"1.2.3\"} 1",
             "statlume_cpu_usage_ratio{cpu=\"total\"} 0.125",
             "statlume_cpu_usage_ratio{cpu=\"1\"} 1",
             "statlume_cpu_usage_ratio{cpu=\"3\"} 0",
             "statlume_network_receive_bytes_per_second{slot=\"total\"} 1536",
             "statlume_network_transmit_bytes_per_second{slot=\"4\"} 2048",
             "statlume_uptime_seconds 93784",
             "statlume_processes 312",
             "statlume_threads 40000",
             "statlume_memory_bytes{kind=\"ram\",state=\"free\"} 5368709120",
             "statlume_memory_bytes{kind=\"ram\",state=\"total\"} 12884901888",
             "statlume_memory_bytes{kind=\"swap\",state=\"free\"} 1073741824",
             "statlume_memory_bytes{kind=\"swap\",state=\"total\"} 2147483648",
             "statlume_filesystem_bytes{drive=\"C\",mount=\"/\",state=\"free\"} 536870912",
             "statlume_filesystem_bytes{drive=\"C\",mount=\"/\",state=\"total\"} 2147483648",
             "statlume_filesystem_bytes{drive=\"D\",mount=\"/srv/a "
             "\\\"b\\\"\\\\c?\",state=\"free\"} "
             "524288",
             "statlume_temperature_celsius{sensor=\"1\"} 41",
             "statlume_fan_rpm{sensor=\"1\"} 1200",
             "statlume_fan_rpm{sensor=\"2\"} 0",
             "# TYPE statlume_disk_read_bytes_total counter",
             "statlume_disk_read_bytes_total{device=\"sda\"} 10240000",
             "statlume_disk_written_bytes_total{device=\"sda\"} 5120000",
             "statlume_battery_charge_ratio{battery=\"BAT0\"} 0.5",
             "statlume_battery_power_watts{battery=\"BAT0\"} 7.25",
             "statlume_gpu_busy_ratio{gpu=\"1\",name=\"Radeon\"} 0.37",
             "statlume_gpu_busy_ratio{gpu=\"2\",name=\"AMD 0000:05:00.0\"} 0",
             "statlume_gpu_memory_used_bytes{gpu=\"1\",name=\"Radeon\"} 1073741824",
             "statlume_gpu_memory_total_bytes{gpu=\"1\",name=\"Radeon\"} 8589934592",
             "statlume_gpu_temperature_celsius{gpu=\"1\",name=\"Radeon\"} 45",
             "statlume_gpu_power_watts{gpu=\"1\",name=\"Radeon\"} 35.5",
         }) {
        SCOPED_TRACE(line);
        EXPECT_NE(text.find(std::string("\n") + line + "\n"), std::string::npos) << text;
    }
    // One HELP and one TYPE per family, each before its samples; one series per drive letter.
    std::map<std::string, int> helps;
    std::map<std::string, int> types;
    std::istringstream lines(text);
    std::string line;
    std::string family;
    int driveC = 0;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string hash, kind, name;
        words >> hash >> kind >> name;
        if (hash == "#") {
            (kind == "HELP" ? helps : types)[name]++;
            family = name;
            continue;
        }
        EXPECT_EQ(line.rfind(family, 0), 0u) << line;
        driveC += line.find("drive=\"C\"") != std::string::npos;
    }
    EXPECT_EQ(helps, types);
    for (const auto& [name, count] : helps)
        EXPECT_EQ(count, 1) << name;
    EXPECT_EQ(helps.size(), 21u);
    EXPECT_EQ(driveC, 2);
    // Partitions and the batteries together are no series of their own.
    EXPECT_EQ(text.find("sda1"), std::string::npos);
    EXPECT_EQ(text.find("battery=\"\""), std::string::npos);
    // A sleeping GPU gives busy 0 and nothing else.
    EXPECT_EQ(text.find("celsius{gpu=\"2\""), std::string::npos);
    EXPECT_EQ(text.back(), '\n');
}

TEST(MetricsText, WithoutCurrentFiguresOnlyUpAndBuildInfo)
{
    struct TCase
    {
        const char* name;
        bool hasRecord;
        bool up;
    };
    for (const TCase& c :
         {TCase{"no record yet", false, true}, TCase{"server not answering", true, false}}) {
        SCOPED_TRACE(c.name);
        TMetricsSnapshot snapshot = FixedSnapshot();
        snapshot.HasRecord = c.hasRecord;
        snapshot.Up = c.up;
        const std::string text = RenderExposition(snapshot, "v");
        EXPECT_NE(text.find("\nstatlume_up 0\n"), std::string::npos);
        EXPECT_EQ(text.find("statlume_cpu"), std::string::npos);
        EXPECT_NE(text.find("statlume_build_info"), std::string::npos);
    }
}

TEST(MetricsText, HostileFloatsStayInTheFormat)
{
    TMetricsSnapshot snapshot = FixedSnapshot();
    snapshot.Data.ProcUsage[0] = std::numeric_limits<float>::quiet_NaN();
    snapshot.Data.NetRead[0] = std::numeric_limits<float>::infinity();
    snapshot.Data.NetWrite[0] = -std::numeric_limits<float>::infinity();
    const std::string text = RenderExposition(snapshot, "v");
    EXPECT_NE(text.find("statlume_cpu_usage_ratio{cpu=\"total\"} NaN\n"), std::string::npos);
    EXPECT_NE(text.find("receive_bytes_per_second{slot=\"total\"} +Inf\n"), std::string::npos);
    EXPECT_NE(text.find("transmit_bytes_per_second{slot=\"total\"} -Inf\n"), std::string::npos);
}

TEST(MetricsText, ExportsEachCatalogueFamilyWithItsHelpAndLabels)
{
    const std::string text = RenderExposition(FixedSnapshot(), "v");
    for (const TItemRow& row : ItemCatalogue()) {
        if (row.Metric.Name.empty())
            continue;
        SCOPED_TRACE(std::string(row.TagName));
        const std::string name(row.Metric.Name);
        EXPECT_NE(text.find("# HELP " + name + " " + std::string(row.Metric.Help) + "\n"),
                  std::string::npos);
        const std::size_t sample = text.find("\n" + name + (row.Metric.Labels.empty() ? " " : "{"));
        ASSERT_NE(sample, std::string::npos);
        const std::string line = text.substr(sample, text.find('\n', sample + 1) - sample);
        std::stringstream labels{std::string(row.Metric.Labels)};
        for (std::string label; std::getline(labels, label, ',');)
            EXPECT_NE(line.find(label + "=\""), std::string::npos) << label;
    }
}

} // namespace
} // namespace statlume
