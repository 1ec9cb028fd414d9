#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/fixture_copy.h"
#include "platform/linux/gpu_reader.h"

#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace statlume::platform {
namespace {

using testing::HostProcfs;
using testing::HostSysfs;
const std::string NoNvml = "/nonexistent/libnvidia-ml.so.1";
constexpr std::int64_t GpuSecond = 1'000'000'000;
constexpr std::uint64_t MiB = 1 << 20;

struct TGpuExpected
{
    const char* name;
    const char* card;
    const char* driver;
    const char* gpuName;
    bool asleep;
    std::optional<double> busy;
    std::optional<std::uint64_t> memoryUsed;
    std::optional<std::uint64_t> memoryTotal;
    std::optional<double> temperature;
    std::optional<double> power;
    std::optional<double> clock;
};

void ExpectGpu(const TGpuStatus& gpu, const TGpuExpected& row)
{
    SCOPED_TRACE(row.name);
    EXPECT_EQ(gpu.Card, row.card);
    EXPECT_EQ(gpu.PciAddress, row.name);
    EXPECT_EQ(gpu.Driver, row.driver);
    EXPECT_EQ(gpu.Name, row.gpuName);
    EXPECT_EQ(gpu.Asleep, row.asleep);
    EXPECT_EQ(gpu.Figures.BusyPercent, row.busy);
    EXPECT_EQ(gpu.Figures.MemoryUsedBytes, row.memoryUsed);
    EXPECT_EQ(gpu.Figures.MemoryTotalBytes, row.memoryTotal);
    EXPECT_EQ(gpu.Figures.TemperatureCelsius, row.temperature);
    EXPECT_EQ(gpu.Figures.PowerWatts, row.power);
    EXPECT_EQ(gpu.Figures.ClockMHz, row.clock);
}

TEST(GpuReader, CardsInPciOrderGiveTheFiguresTheirFilesHold)
{
    TGpuReader reader(HostSysfs, HostProcfs, NoNvml);
    const auto gpus = reader.Read(GpuSecond);
    // Intel busy and power are rates: nothing on the first read.
    const TGpuExpected rows[] = {
        {"0000:00:02.0", "card1", "i915", "Intel 0000:00:02.0", false, {}, {}, {}, {}, {}, 1100},
        {"0000:00:04.0", "card2", "xe", "Intel 0000:00:04.0", false, {}, {}, {}, {}, {}, 1950},
        {"0000:01:00.0",
         "card0",
         "nvidia",
         "NVIDIA GeForce RTX 3060 Laptop GPU",
         false,
         {},
         {},
         {},
         {},
         {},
         {}},
        {"0000:03:00.0", "card3", "amdgpu", "AMD Radeon RX 6600", false, 37, 1024 * MiB, 8192 * MiB,
         45, 35, 2400},
        {"0000:04:00.0", "card4", "amdgpu", "AMD 0000:04:00.0", false, 100, 256 * MiB, 512 * MiB,
         52.5, 12, 800},
        {"0000:05:00.0", "card5", "amdgpu", "AMD 0000:05:00.0", true, 0, {}, {}, {}, {}, {}},
    };
    ASSERT_EQ(gpus.size(), std::size(rows));
    for (std::size_t i = 0; i < gpus.size(); ++i)
        ExpectGpu(gpus[i], rows[i]);
    EXPECT_NE(reader.NvmlReason().find("libnvidia-ml.so.1"), std::string::npos);
}

TEST(GpuReader, IntelBusyAndPowerAreRatesOverTwoReads)
{
    const testing::TFixtureCopy tree;
    TGpuReader reader(tree.Sysfs(), tree.Procfs(), NoNvml);
    reader.Read(GpuSecond);
    // Over two seconds: 20 J and 3 J used; render busy 1.2 s, video 1 s on two engines.
    tree.Write("sys/devices/pci0000:00/0000:00:02.0/hwmon/hwmon4/energy1_input", "25000000");
    tree.Write("sys/devices/pci0000:00/0000:00:04.0/hwmon/hwmon5/energy1_input", "4000000");
    for (const char* descriptor : {"proc/4242/fdinfo/5", "proc/4242/fdinfo/6"})
        tree.Write(descriptor, "drm-client-id:\t7\ndrm-pdev:\t0000:00:02.0\n"
                               "drm-engine-render:\t2200000000 ns");
    tree.Write("proc/4300/fdinfo/3", "drm-client-id:\t9\ndrm-pdev:\t0000:00:02.0\n"
                                     "drm-engine-video:\t4000000000 ns\n"
                                     "drm-engine-capacity-video:\t2");
    const auto gpus = reader.Read(3 * GpuSecond);
    ASSERT_GE(gpus.size(), 2u);
    EXPECT_DOUBLE_EQ(gpus[0].Figures.BusyPercent.value_or(-1), 60);
    EXPECT_DOUBLE_EQ(gpus[0].Figures.PowerWatts.value_or(-1), 10);
    EXPECT_EQ(gpus[1].Figures.BusyPercent, 0.0);
    EXPECT_DOUBLE_EQ(gpus[1].Figures.PowerWatts.value_or(-1), 1.5);
}

TEST(GpuReader, UnreadableFilesLeaveOnlyTheirFigureEmpty)
{
    const testing::TFixtureCopy tree;
    const std::string device = tree.Sysfs() + "/devices/pci0000:00/0000:00:01.1/0000:03:00.0";
    for (const char* file : {"/gpu_busy_percent", "/hwmon/hwmon2/power1_average"}) {
        std::filesystem::remove(device + file);
        std::filesystem::create_directory(device + file);
    }
    std::filesystem::remove(device + "/hwmon/hwmon2/temp1_input");
    ASSERT_EQ(::mkfifo((device + "/hwmon/hwmon2/temp1_input").c_str(), 0600), 0);
    TGpuReader reader(tree.Sysfs(), tree.Procfs(), NoNvml);
    const auto gpus = reader.Read(GpuSecond);
    ASSERT_EQ(gpus.size(), 6u);
    ExpectGpu(gpus[3], {"0000:03:00.0",
                        "card3",
                        "amdgpu",
                        "AMD Radeon RX 6600",
                        false,
                        {},
                        1024 * MiB,
                        8192 * MiB,
                        {},
                        36,
                        2400});
}

// Counts the files opened directly inside the watched folders.
class TOpenWatch
{
public:
    explicit TOpenWatch(const std::vector<std::string>& folders)
        : Fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        for (const std::string& folder : folders)
            ::inotify_add_watch(Fd, folder.c_str(), IN_OPEN);
    }
    ~TOpenWatch() { ::close(Fd); }
    int Opens() const
    {
        alignas(inotify_event) char buffer[8192];
        int count = 0;
        for (ssize_t got; (got = ::read(Fd, buffer, sizeof buffer)) > 0;)
            for (ssize_t pos = 0; pos < got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + pos);
                count += (event->mask & IN_OPEN) != 0;
                pos += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        return count;
    }

private:
    int Fd;
};

TEST(GpuReader, NothingOfASleepingOrUnchosenCardIsOpened)
{
    const auto folders = [](const std::string& device, const std::string& card,
                            const std::string& hwmon) {
        return std::vector<std::string>{device, device + "/drm/" + card, device + "/hwmon",
                                        device + "/hwmon/" + hwmon};
    };
    const std::string pci = HostSysfs + "/devices/pci0000:00";
    TOpenWatch sleeping(folders(pci + "/0000:00:1c.0/0000:05:00.0", "card5", "hwmon6"));
    TOpenWatch awake(folders(pci + "/0000:00:01.1/0000:03:00.0", "card3", "hwmon2"));
    TGpuReader reader(HostSysfs, HostProcfs, NoNvml);
    reader.Read(GpuSecond);
    reader.Read(2 * GpuSecond);
    EXPECT_EQ(sleeping.Opens(), 0);
    // The watch sees the files of a card that is awake, so it would see a sleeping one's.
    EXPECT_GT(awake.Opens(), 0);
    // A card no item shows is listed, and not opened either.
    TOpenWatch unchosen(folders(pci + "/0000:00:01.1/0000:03:00.0", "card3", "hwmon2"));
    const auto gpus = reader.Read(3 * GpuSecond, TGpuChoice{false, {1}});
    EXPECT_EQ(unchosen.Opens(), 0);
    ASSERT_EQ(gpus.size(), 6u);
    EXPECT_TRUE(gpus[0].Figures.ClockMHz.has_value());
    EXPECT_FALSE(gpus[3].Figures.BusyPercent.has_value());
    EXPECT_EQ(gpus[3].Name, "AMD 0000:03:00.0");
}

} // namespace
} // namespace statlume::platform
