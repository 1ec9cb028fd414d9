// The system's batteries from /sys/class/power_supply, one by one and together.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/figure_source.h"

namespace statlume::platform {

/// The folders of the supplies of type Battery under sysfsRoot + "/class/power_supply" whose
/// scope is not Device (mice and keyboards report their own), sorted by name.
std::vector<std::string> ListBatteries(const std::string& sysfsRoot = "/sys");

/// What a battery's files are, learnt at its first read: whether it counts charge (µAh, µA)
/// instead of energy (µWh, µW), and its full level, which changes over months, not ticks.
struct TBatteryStyle
{
    bool Known = false;
    bool Charge = false;
    std::optional<std::int64_t> Full;
};

/// The battery whose supply folder is given; unreadable figures are empty. With a style
/// already known, its full level is not read again and only files of its style are opened.
TBattery ReadBattery(const std::string& folder, TBatteryStyle& style);
/// The same, learning the style afresh.
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
    /// Each folder's style, learnt again whenever the batteries are listed.
    std::vector<TBatteryStyle> Styles;
    std::optional<std::int64_t> ListedNs;
};

/// The batteries as one: charge weighted by energy (sum of stored over sum of full energy),
/// power summed, Discharging when any discharges, else Charging when any charges, else Full
/// when all are full; empty when there is no battery.
std::optional<TBattery> CombineBatteries(const std::vector<TBattery>& batteries);

/// Minutes as hours:minutes ("4:05"); empty text when unknown.
std::string BatteryTimeText(std::optional<long> minutes);

} // namespace statlume::platform
