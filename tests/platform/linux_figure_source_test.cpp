#include <chrono>
#include <csignal>
#include <optional>
#include <string>
#include <thread>

#include "collect/beyond_steps.h"
#include "platform/linux/linux_figure_source.h"
#include "record/raw_data.h"

#include "../format/format_rig.h"
#include "fixture_copy.h"
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace statlume {
namespace {

constexpr platform::TSystemRoots FixtureRoots()
{
    return {STATLUME_TEST_DATA "/procfs_host", STATLUME_TEST_DATA "/sysfs_host"};
}

struct TRow
{
    const char* name;
    const char* line;
    const char* text;
};

// The figures of the fixture trees as the items show them: each family collected as its step
// does (the disks twice, for rates), then rendered.
void ExpectRenders(TFormatRig& rig, std::initializer_list<TRow> rows)
{
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(rig.Render(row.line), row.text);
    }
}

TEST(LinuxFigureSource, LoadItemShowsTheFixtureAverages)
{
    platform::TLinuxFigureSource source(FixtureRoots());
    TFormatRig rig;
    rig.Shell.Beyond.Load = LoadStep(source);
    ExpectRenders(rig, {
                           {"one minute by default", "<NAME=LoadAvg>", "0.52"},
                           {"one minute", "<NAME=LoadAvg FORMAT=\"1\">", "0.52"},
                           {"five minutes", "<NAME=LoadAvg FORMAT=\"5\">", "1.25"},
                           {"fifteen minutes", "<NAME=LoadAvg FORMAT=\"15\">", "2.50"},
                           {"lead zero", "<NAME=LoadAvg LEADZERO FORMAT=\"15\">", "02.50"},
                           {"no such average", "<NAME=LoadAvg FORMAT=\"10\">", ""},
                       });
}

TEST(LinuxFigureSource, DiskItemsShowTheFixtureDevices)
{
    platform::TLinuxFigureSource source(FixtureRoots());
    TDiskStep step;
    step.Run(source);
    EXPECT_TRUE(step.AwaitsSecondSample());
    TFormatRig rig;
    rig.Shell.Beyond.Disks = step.Run(source);
    EXPECT_FALSE(step.AwaitsSecondSample());
    std::string whole;
    for (const TDiskFigure& disk : rig.Shell.Beyond.Disks) {
        if (disk.Whole)
            whole += disk.Name + ' ';
        if (disk.Name == "nvme0n1") {
            EXPECT_EQ(disk.ReadBytes, 4000000ull * 512);
            EXPECT_EQ(disk.WrittenBytes, 6000000ull * 512);
        }
    }
    // Partitions, loop, zram, device-mapper and md are no whole disks.
    EXPECT_EQ(whole, "nvme0n1 sda ");
    // The fixture does not change between the samples.
    ExpectRenders(rig, {
                           {"sum over whole disks", "<NAME=DiskRead>", "0"},
                           {"written, with decimals", "<NAME=DiskWrite DECIMAL>", "0.00"},
                           {"a partition by name", "<NAME=DiskRead FORMAT=\"sda1\">", "0"},
                           {"device-mapper by name", "<NAME=DiskWrite FORMAT=\"dm-0\">", "0"},
                           {"no such device", "<NAME=DiskRead FORMAT=\"sdz\">", ""},
                       });
}

TEST(LinuxFigureSource, BatteryItemsShowTheFixtureBatteries)
{
    platform::TLinuxFigureSource source(FixtureRoots());
    TFormatRig rig;
    rig.Shell.Beyond.Batteries = BatteryStep(source);
    ExpectRenders(
        rig,
        {
            {"charge of all, energy-weighted", "<NAME=BatteryCharge DECIMAL>", "55.10"},
            {"state of all", "<NAME=BatteryState>", "Discharging"},
            {"no time while one outpowers the other", "<NAME=BatteryTime>", ""},
            {"power of all", "<NAME=BatteryPower>", "8"},
            {"energy style charge", "<NAME=BatteryCharge FORMAT=\"BAT0\">", "60"},
            {"energy style time to empty", "<NAME=BatteryTime FORMAT=\"BAT0\">", "3:00"},
            {"discharging power", "<NAME=BatteryPower FORMAT=\"BAT0\">", "10"},
            {"charge style state", "<NAME=BatteryState FORMAT=\"BAT1\">", "Charging"},
            {"charge style time to full", "<NAME=BatteryTime FORMAT=\"BAT1\">", "1:20"},
            {"charging power", "<NAME=BatteryPower DECIMAL FORMAT=\"BAT1\">", "18.00"},
            {"a mouse is no system battery", "<NAME=BatteryCharge FORMAT=\"hidpp_battery_0\">", ""},
            {"the mains supply neither", "<NAME=BatteryState FORMAT=\"AC\">", ""},
        });
}

TEST(LinuxFigureSource, TopItemsShowTheFixtureProcesses)
{
    const testing::TFixtureCopy copy;
    platform::TLinuxFigureSource source({copy.Procfs(), copy.Sysfs()});
    TFormatRig rig;
    TopStep(source, rig.Shell.Beyond);
    // A second of processor time later: glxgears had a quarter of it, idle a fiftieth.
    copy.Write("proc/stat", "cpu  11000 50 3000 200000 400 0 100 0 0 0");
    copy.Write("proc/4242/stat", "4242 (glxgears) S 1 4242 4242 0 -1 4194560 100 0 0 0 700 150 0 "
                                 "0 20 0 1 0 9000 123456789 2560 18446744073709551615");
    copy.Write("proc/4301/stat", "4301 (idle) S 1 4301 4301 0 -1 4194560 100 0 0 0 11 11 0 0 20 "
                                 "0 1 0 9200 123456 100 18446744073709551615");
    TopStep(source, rig.Shell.Beyond);
    const std::string largestMB =
        std::to_string(25600 * ::sysconf(_SC_PAGESIZE) / static_cast<long>(BytesPerMB));
    ExpectRenders(rig,
                  {
                      {"busiest name", "<NAME=TopCPU FORMAT=\"1 NAME\">", "glxgears"},
                      {"busiest share", "<NAME=TopCPU FORMAT=\"1 CPU\">", "25"},
                      {"second share", "<NAME=TopCPU DECIMAL FORMAT=\"2 CPU\">", "2.00"},
                      {"words in any case", "<NAME=TopCPU FORMAT=\"2 name\">", "idle"},
                      {"a place alone is a name", "<NAME=TopCPU FORMAT=\"3\">", "evil?[31m) ?name"},
                      {"no format is the first name", "<NAME=TopCPU>", "glxgears"},
                      {"a pid", "<NAME=TopCPU FORMAT=\"3 PID\">", "4300"},
                      {"fewer processes than places", "<NAME=TopCPU FORMAT=\"4 NAME\">", ""},
                      {"largest memory", "<NAME=TopMem FORMAT=\"1 MEM\">", largestMB.c_str()},
                      {"second memory", "<NAME=TopMem FORMAT=\"2 NAME\">", "glxgears"},
                      {"its share", "<NAME=TopMem FORMAT=\"2 CPU\">", "25"},
                      {"place zero", "<NAME=TopMem FORMAT=\"0 NAME\">", ""},
                      {"place eleven", "<NAME=TopCPU FORMAT=\"11 NAME\">", ""},
                      {"unknown field", "<NAME=TopMem FORMAT=\"1 SIZE\">", ""},
                      {"words first", "<NAME=TopMem FORMAT=\"NAME 1\">", ""},
                  });
    // The first sample has no processor share to compare.
    platform::TLinuxFigureSource fresh({copy.Procfs(), copy.Sysfs()});
    TopStep(fresh, rig.Shell.Beyond);
    ExpectRenders(rig, {{"first sample", "<NAME=TopCPU FORMAT=\"1 NAME\">", ""}});
}

// The real procfs: a spinning child shows in the processor list within two updates.
TEST(LinuxFigureSource, BusyChildShowsInTopCpuWithinTwoTicks)
{
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::prctl(PR_SET_NAME, "statlume-spin");
        ::alarm(20);
        volatile unsigned long spin = 0;
        for (;;)
            spin = spin + 1;
    }
    platform::TLinuxFigureSource source(platform::TSystemRoots{});
    TFormatRig rig;
    TopStep(source, rig.Shell.Beyond);
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    TopStep(source, rig.Shell.Beyond);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    std::optional<double> share;
    for (int place = 1; place <= 10 && !share; ++place) {
        const std::string format = " FORMAT=\"" + std::to_string(place);
        if (rig.Render("<NAME=TopCPU" + format + " NAME\">") == "statlume-spin") {
            EXPECT_EQ(rig.Render("<NAME=TopCPU" + format + " PID\">"), std::to_string(child));
            share = std::stod(rig.Render("<NAME=TopCPU DECIMAL" + format + " CPU\">"));
        }
    }
    ASSERT_TRUE(share.has_value());
    EXPECT_GT(*share, 5.0);
    EXPECT_LE(*share, 100.0);
}

// Numbered in PCI address order: i915, xe, NVIDIA (its sysfs name: no library here), two
// amdgpu cards and a third one asleep.
TEST(LinuxFigureSource, GpuItemsShowTheFixtureCards)
{
    platform::TLinuxFigureSource source(FixtureRoots());
    TFormatRig rig;
    rig.Shell.Beyond.Gpus = GpuStep(source, {});
    ExpectRenders(
        rig, {
                 {"the first by default", "<NAME=GPUName>", "Intel 0000:00:02.0"},
                 {"i915 clock", "<NAME=GPUClock FORMAT=\"1\">", "1100"},
                 {"xe clock", "<NAME=GPUClock FORMAT=\"2\">", "1950"},
                 {"NVIDIA name from procfs", "<NAME=GPUName FORMAT=\"3\">",
                  "NVIDIA GeForce RTX 3060 Laptop GPU"},
                 {"amdgpu busy", "<NAME=GPUUsage FORMAT=\"4\">", "37"},
                 {"video memory used", "<NAME=GPUMemUsed FORMAT=\"4\">", "1024"},
                 {"as a share", "<NAME=GPUMemUsed DECIMAL FORMAT=\"4 %\">", "12.50"},
                 {"video memory", "<NAME=GPUMemTotal FORMAT=\"4\">", "8192"},
                 {"temperature", "<NAME=GPUTemp DECIMAL FORMAT=\"5\">", "52.50"},
                 {"power", "<NAME=GPUPower FORMAT=\"4\">", "35"},
                 {"no memory on Intel", "<NAME=GPUMemUsed FORMAT=\"%\">", ""},
                 {"asleep: busy 0", "<NAME=GPUUsage FORMAT=\"6\">", "0"},
                 {"asleep: no temperature", "<NAME=GPUTemp FORMAT=\"6\">", ""},
                 {"asleep: vendor and address", "<NAME=GPUName FORMAT=\"6\">", "AMD 0000:05:00.0"},
                 {"no seventh", "<NAME=GPUUsage FORMAT=\"7\">", ""},
             });
}

} // namespace
} // namespace statlume
