#include "platform/linux/battery_reader.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "platform/linux/small_file.h"
#include "platform/linux/unique_fd.h"

#include <fcntl.h>

namespace statlume::platform {

namespace {

constexpr std::size_t SupplyLimit = 64;
// A time beyond this (a trickle of power) is no estimate anyone can use.
constexpr double MaxHoursLeft = 24.0 * 30;

std::string KnownStatus(const std::optional<std::string>& text)
{
    for (const char* known : {"Charging", "Discharging", "Full", "Not charging"})
        if (text && *text == known)
            return known;
    return "Unknown";
}

std::optional<double> Scaled(const std::optional<std::int64_t>& value, double factor)
{
    if (!value)
        return std::nullopt;
    return static_cast<double>(*value) * factor;
}

// The sign drivers give current_now and power_now differs, so the status sets it.
std::optional<double> SignedPower(const TBattery& battery, std::optional<double> magnitude)
{
    if (!magnitude)
        return std::nullopt;
    return battery.Status == "Discharging" ? -std::fabs(*magnitude) : std::fabs(*magnitude);
}

// Charge and time left, once levels, status and signed power are known.
void Finish(TBattery& battery)
{
    if (battery.EnergyNowWh && battery.EnergyFullWh && *battery.EnergyFullWh > 0)
        battery.ChargePercent =
            std::clamp(*battery.EnergyNowWh / *battery.EnergyFullWh * 100.0, 0.0, 100.0);
    if (!battery.PowerWatts || !battery.EnergyNowWh)
        return;
    std::optional<double> hours;
    if (battery.Status == "Discharging" && *battery.PowerWatts < 0)
        hours = *battery.EnergyNowWh / -*battery.PowerWatts;
    else if (battery.Status == "Charging" && *battery.PowerWatts > 0 && battery.EnergyFullWh)
        hours = std::max(0.0, *battery.EnergyFullWh - *battery.EnergyNowWh) / *battery.PowerWatts;
    if (hours && *hours >= 0 && *hours <= MaxHoursLeft)
        battery.MinutesLeft = std::lround(*hours * 60);
}

} // namespace

TBattery ReadBattery(const std::string& folder)
{
    TBatteryStyle style;
    return ReadBattery(folder, style);
}

TBattery ReadBattery(const std::string& folder, TBatteryStyle& style)
{
    // The folder is walked to once; each figure is then one name below it.
    const TUniqueFd dir(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    const auto text = [&dir](const char* file) -> std::optional<std::string> {
        return dir ? ReadSmallFileAt(dir.Get(), file) : std::nullopt;
    };
    const auto number = [&text](const char* file) -> std::optional<std::int64_t> {
        const auto value = text(file);
        return value ? ParseSigned(*value) : std::nullopt;
    };
    TBattery battery;
    battery.Name = std::filesystem::path(folder).filename().string();
    battery.Status = KnownStatus(text("status"));
    // The full level is read again while it is unknown or the style changes.
    const auto full = [&style, &number](bool charge) {
        if (!style.Known || style.Charge != charge || !style.Full)
            style.Full = number(charge ? "charge_full" : "energy_full");
        style.Known = true;
        style.Charge = charge;
        return style.Full;
    };
    std::optional<double> power;
    const auto energyNow = style.Known && style.Charge ? std::nullopt : number("energy_now");
    if (energyNow) {
        // µWh and µW.
        battery.EnergyNowWh = Scaled(energyNow, 1e-6);
        battery.EnergyFullWh = Scaled(full(false), 1e-6);
        power = Scaled(number("power_now"), 1e-6);
    } else if (const auto voltage = Scaled(number("voltage_now"), 1e-6)) {
        // µAh and µA, times the voltage in V.
        const auto charge = [&](std::optional<std::int64_t> microAmps) -> std::optional<double> {
            const auto value = Scaled(microAmps, 1e-6);
            return value ? std::optional(*value * *voltage) : std::nullopt;
        };
        battery.EnergyNowWh = charge(number("charge_now"));
        battery.EnergyFullWh = charge(full(true));
        power = charge(number("current_now"));
    } else {
        // Neither style answered: learn it afresh next time.
        style = TBatteryStyle{};
    }
    battery.PowerWatts = SignedPower(battery, power);
    Finish(battery);
    if (!battery.ChargePercent)
        if (const auto capacity = number("capacity"))
            battery.ChargePercent = std::clamp(static_cast<double>(*capacity), 0.0, 100.0);
    return battery;
}

std::vector<std::string> ListBatteries(const std::string& sysfsRoot)
{
    std::vector<std::string> folders;
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::path(sysfsRoot) / "class/power_supply";
    std::size_t seen = 0;
    for (std::filesystem::directory_iterator entry(folder, error), end;
         !error && entry != end && ++seen <= SupplyLimit; entry.increment(error)) {
        const std::string path = entry->path().string();
        if (ReadSmallFile(path + "/type") == "Battery" &&
            ReadSmallFile(path + "/scope") != "Device")
            folders.push_back(path);
    }
    std::sort(folders.begin(), folders.end());
    return folders;
}

std::vector<TBattery> TBatteryReader::Read(std::int64_t nowNs)
{
    if (!ListedNs || nowNs - *ListedNs >= ListEveryNs || nowNs < *ListedNs) {
        Folders = ListBatteries(Root);
        Styles.assign(Folders.size(), TBatteryStyle{});
        ListedNs = nowNs;
    }
    std::vector<TBattery> batteries;
    for (std::size_t i = 0; i < Folders.size(); ++i)
        batteries.push_back(ReadBattery(Folders[i], Styles[i]));
    return batteries;
}

std::optional<TBattery> CombineBatteries(const std::vector<TBattery>& batteries)
{
    if (batteries.empty())
        return std::nullopt;
    const auto any = [&batteries](std::string_view status) {
        return std::any_of(batteries.begin(), batteries.end(),
                           [status](const TBattery& b) { return b.Status == status; });
    };
    TBattery all;
    if (any("Discharging"))
        all.Status = "Discharging";
    else if (any("Charging"))
        all.Status = "Charging";
    else if (std::all_of(batteries.begin(), batteries.end(),
                         [](const TBattery& b) { return b.Status == "Full"; }))
        all.Status = "Full";
    else if (any("Not charging"))
        all.Status = "Not charging";
    double now = 0;
    double full = 0;
    std::optional<double> power;
    for (const TBattery& battery : batteries) {
        if (battery.EnergyNowWh && battery.EnergyFullWh) {
            now += *battery.EnergyNowWh;
            full += *battery.EnergyFullWh;
        }
        if (battery.PowerWatts)
            power = power.value_or(0) + *battery.PowerWatts;
    }
    if (full > 0) {
        all.EnergyNowWh = now;
        all.EnergyFullWh = full;
    }
    all.PowerWatts = power;
    Finish(all);
    if (!all.ChargePercent && batteries.size() == 1)
        all.ChargePercent = batteries.front().ChargePercent;
    return all;
}

std::string BatteryTimeText(std::optional<long> minutes)
{
    if (!minutes || *minutes < 0)
        return {};
    const long rest = *minutes % 60;
    return std::to_string(*minutes / 60) + (rest < 10 ? ":0" : ":") + std::to_string(rest);
}

} // namespace statlume::platform
