#include "collect/beyond_steps.h"
#include "platform/fake/fake_figure_source.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

constexpr std::int64_t SecondNs = 1'000'000'000;
constexpr std::uint64_t MiB = 1 << 20;

std::optional<double> RateOf(const std::vector<TDiskFigure>& disks, const std::string& name,
                             bool written)
{
    for (const TDiskFigure& disk : disks) {
        if (disk.Name == name)
            return written ? disk.WrittenBytesPerSecond : disk.ReadBytesPerSecond;
    }
    return std::nullopt;
}

TEST(DiskStep, RatesPerDeviceOverTheInterval)
{
    platform::TFakeFigureSource source;
    TDiskStep step;
    const std::vector<std::string> whole = {"sda"};
    source.Disks = {0, {{"sda", 10 * MiB, 4 * MiB}, {"sda1", MiB, MiB}, {"sdb", 9, 9}}, whole};
    step.Run(source);
    // Two seconds later: sda1 grew, sdb's counters went back (the device was replaced), and
    // sdc is new.
    source.Disks = {
        2 * SecondNs,
        {{"sda", 14 * MiB, 5 * MiB}, {"sda1", 3 * MiB, MiB}, {"sdb", 1, 1}, {"sdc", 1, 1}},
        whole};
    const auto disks = step.Run(source);
    struct TRow
    {
        const char* name;
        const char* device;
        bool written;
        std::optional<double> rate;
    };
    const TRow rows[] = {
        {"read", "sda", false, 2.0 * MiB},
        {"written", "sda", true, 0.5 * MiB},
        {"a partition", "sda1", false, 1.0 * MiB},
        {"a counter that went back", "sdb", false, 0.0},
        {"a device seen once", "sdc", false, std::nullopt},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(RateOf(disks, row.device, row.written), row.rate);
    }
    // A device that vanished starts afresh when it comes back.
    source.Disks = {3 * SecondNs, {{"sda", 15 * MiB, 5 * MiB}}, whole};
    step.Run(source);
    source.Disks = {4 * SecondNs, {{"sda", 16 * MiB, 5 * MiB}, {"sda1", 4 * MiB, MiB}}, whole};
    EXPECT_EQ(RateOf(step.Run(source), "sda1", false), std::nullopt);
}

} // namespace
} // namespace statlume
