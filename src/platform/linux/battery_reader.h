// The system's batteries from /sys/class/power_supply, one by one and together.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace statlume::platform {

/// One battery's state, or the system's batteries together.
struct TBattery
{
    /// The supply's kernel name ("BAT0"); empty for the combined battery.
    std::string Name;
    /// "Charging", "Discharging", "Full", "Not charging" or "Unknown" (any other text).
    std::string Status = "Unknown";
    /// Charge in %, 0..100; empty when the supply gives neither levels nor a capacity.
    std::optional<double> ChargePercent;
    /// Stored and full energy in Wh (from charge and voltage for charge-style drivers).
    std::optional<double> EnergyNowWh;
    std::optional<double> EnergyFullWh;
    /// Power in W: negative while discharging, positive otherwise, whatever sign the driver
    /// gives current_now or power_now.
    std::optional<double> PowerWatts;
    /// Minutes to empty while discharging, to full while charging; empty when unknown.
    std::optional<long> MinutesLeft;
};

/// The folders of the supplies of type Battery under sysfsRoot + "/class/power_supply" whose
/// scope is not Device (mice and keyboards report their own), sorted by name.
std::vector<std::string> ListBatteries(const std::string& sysfsRoot = "/sys");

/// The battery whose supply folder is given; unreadable figures are empty.
TBattery ReadBattery(const std::string& folder);

/// Reads the system's batteries, listing them again only now and then, as a laptop's
/// batteries rarely come or go.
class TBatteryReader
{
public:
    /// Lists the batteries again at most this often.
    static constexpr std::int64_t ListEveryNs = 5'000'000'000;

    /// Reads under sysfsRoot; nothing is opened before the first Read.
    explicit TBatteryReader(std::string sysfsRoot = "/sys")
        : Root(std::move(sysfsRoot))
    {
    }

    /// Every system battery at nowNs (monotonic, ns), sorted by name.
    std::vector<TBattery> Read(std::int64_t nowNs);

private:
    std::string Root;
    std::vector<std::string> Folders;
    std::optional<std::int64_t> ListedNs;
};

/// The batteries as one: charge weighted by energy (sum of stored over sum of full energy),
/// power summed, Discharging when any discharges, else Charging when any charges, else Full
/// when all are full; empty when there is no battery.
std::optional<TBattery> CombineBatteries(const std::vector<TBattery>& batteries);

/// Minutes as hours:minutes ("4:05"); empty text when unknown.
std::string BatteryTimeText(std::optional<long> minutes);

} // namespace statlume::platform
