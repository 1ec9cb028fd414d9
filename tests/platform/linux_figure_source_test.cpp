#include <string>

#include "collect/beyond_steps.h"
#include "platform/linux/linux_figure_source.h"

#include "../format/format_rig.h"
#include <gtest/gtest.h>

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

// Numbered in PCI address order: i915, xe, NVIDIA (its sysfs name: no library here), two
// amdgpu cards and a third one asleep.
TEST(LinuxFigureSource, GpuItemsShowTheFixtureCards)
{
    platform::TLinuxFigureSource source(FixtureRoots());
    TFormatRig rig;
    rig.Shell.Beyond.Gpus = GpuStep(source);
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
