#include <optional>
#include <string>

#include "platform/linux/battery_reader.h"

#include <gtest/gtest.h>

namespace statlume::platform {
namespace {

struct TBatteryExpected
{
    const char* name;
    const char* status;
    std::optional<double> charge;
    std::optional<double> power;
    const char* time;
};

void ExpectBattery(const TBattery& battery, const TBatteryExpected& row)
{
    SCOPED_TRACE(row.name);
    EXPECT_EQ(battery.Name, row.name);
    EXPECT_EQ(battery.Status, row.status);
    ASSERT_EQ(battery.ChargePercent.has_value(), row.charge.has_value());
    if (row.charge) {
        EXPECT_NEAR(*battery.ChargePercent, *row.charge, 0.01);
    }
    ASSERT_EQ(battery.PowerWatts.has_value(), row.power.has_value());
    if (row.power) {
        EXPECT_NEAR(*battery.PowerWatts, *row.power, 1e-9);
    }
    EXPECT_EQ(BatteryTimeText(battery.MinutesLeft), row.time);
}

TEST(BatteryReader, SystemBatteriesOfBothStylesAndTogether)
{
    TBatteryReader reader(STATLUME_TEST_DATA "/sysfs_host");
    const auto batteries = reader.Read(0);
    // The mains supply and the mouse (scope Device) are no system batteries.
    ASSERT_EQ(batteries.size(), 2u);
    // Energy style: 30 of 50 Wh at 10 W. Charge style: 2 of 4 Ah at 12 V, current_now
    // negative while the status says charging.
    ExpectBattery(batteries[0], {"BAT0", "Discharging", 60, -10, "3:00"});
    ExpectBattery(batteries[1], {"BAT1", "Charging", 50, 18, "1:20"});
    // 54 of 98 Wh; one discharges, so no time while the other outpowers it.
    ExpectBattery(CombineBatteries(batteries).value(), {"", "Discharging", 55.102, 8, ""});
    EXPECT_FALSE(CombineBatteries({}).has_value());
}

TEST(BatteryReader, CombinedBatteryFromFigures)
{
    struct TRow
    {
        const char* name;
        std::vector<TBattery> batteries;
        TBatteryExpected all;
    };
    const auto battery = [](const char* status, double now, double full, double power) {
        TBattery b;
        b.Status = status;
        b.EnergyNowWh = now;
        b.EnergyFullWh = full;
        b.PowerWatts = power;
        return b;
    };
    const TRow rows[] = {
        {"two discharging",
         {battery("Discharging", 10, 40, -5), battery("Discharging", 20, 60, -10)},
         {"", "Discharging", 30, -15, "2:00"}},
        {"charging and full",
         {battery("Charging", 10, 40, 15), battery("Full", 60, 60, 0)},
         {"", "Charging", 70, 15, "2:00"}},
        {"all full",
         {battery("Full", 40, 40, 0), battery("Full", 60, 60, 0)},
         {"", "Full", 100, 0, ""}},
        {"not charging wins over unknown",
         {battery("Not charging", 30, 40, 0), battery("Unknown", 0, 0, 0)},
         {"", "Not charging", 75, 0, ""}},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.name);
        ExpectBattery(CombineBatteries(row.batteries).value(), row.all);
    }
}

TEST(BatteryReader, TimeText)
{
    EXPECT_EQ(BatteryTimeText(245), "4:05");
    EXPECT_EQ(BatteryTimeText(0), "0:00");
    EXPECT_EQ(BatteryTimeText(6001), "100:01");
    EXPECT_EQ(BatteryTimeText(std::nullopt), "");
}

} // namespace
} // namespace statlume::platform
