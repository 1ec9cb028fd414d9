#include "platform/linux/gpu_reader.h"

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "base/printable_text.h"
#include "platform/linux/drm_cards.h"
#include "platform/linux/line_scan.h"
#include "platform/linux/small_file.h"

namespace statlume::platform {

namespace {

std::string_view VendorName(std::optional<std::uint32_t> id, std::string_view driver)
{
    if (id == 0x1002u)
        return "AMD";
    if (id == 0x8086u)
        return "Intel";
    if (id == 0x10deu)
        return "NVIDIA";
    const auto vendor = DriverVendor(driver);
    return vendor.empty() ? "GPU" : vendor;
}

std::optional<std::uint32_t> ReadVendorId(const std::string& path)
{
    const auto text = ReadSmallFile(path);
    if (!text || !text->starts_with("0x") || text->size() != 6)
        return std::nullopt;
    std::uint32_t id = 0;
    for (const char c : text->substr(2)) {
        const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (digit < 0)
            return std::nullopt;
        id = id * 16 + static_cast<std::uint32_t>(digit);
    }
    return id;
}

// The hwmon files a card's figures come from.
enum THwmonFile : unsigned
{
    Temperature = 1,
    PowerAverage = 2,
    PowerInput = 4,
    Frequency = 8,
    Energy = 16,
};

// Which of the figure files a hwmon folder holds.
unsigned HwmonFilesIn(const std::string& hwmon)
{
    constexpr std::pair<const char*, THwmonFile> files[] = {
        {"temp1_input", Temperature}, {"power1_average", PowerAverage},
        {"power1_input", PowerInput}, {"freq1_input", Frequency},
        {"energy1_input", Energy},
    };
    unsigned present = 0;
    std::error_code error;
    std::size_t seen = 0;
    for (std::filesystem::directory_iterator entry(hwmon, error), end;
         !error && entry != end && ++seen <= 256; entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        for (const auto& [file, bit] : files)
            if (name == file)
                present |= bit;
    }
    return present;
}

// The first hwmon folder the driver registered on the device, "" when none.
std::string FirstHwmon(const std::string& device)
{
    std::string first;
    std::error_code error;
    std::size_t seen = 0;
    for (std::filesystem::directory_iterator entry(device + "/hwmon", error), end;
         !error && entry != end && ++seen <= 16; entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        if (name.starts_with("hwmon") && (first.empty() || name < first))
            first = name;
    }
    return first.empty() ? first : device + "/hwmon/" + first;
}

// The model line of the NVIDIA driver's own information file, "" without one.
std::string NvidiaModel(const std::string& procfsRoot, const std::string& address)
{
    std::string model;
    const auto text = ReadSmallFile(procfsRoot + "/driver/nvidia/gpus/" + address + "/information");
    if (!text)
        return model;
    ForEachLine(*text, [&model](std::string_view line) {
        if (!model.empty() || !line.starts_with("Model:"))
            return;
        line.remove_prefix(6);
        while (!line.empty() && IsBlank(line.front()))
            line.remove_prefix(1);
        model = line;
    });
    return model;
}

// A card the caller did not choose: named by its driver's vendor and address, nothing read.
TGpuStatus UnchosenCard(const TDrmCard& card)
{
    TGpuStatus status;
    status.Card = card.Card;
    status.PciAddress = card.PciAddress;
    status.Driver = card.Driver;
    status.Name = std::string(VendorName(std::nullopt, card.Driver)) + " " + card.PciAddress;
    return status;
}

} // namespace

TGpuReader::TGpuReader(std::string sysfsRoot, std::string procfsRoot, std::string nvmlFile)
    : SysfsRoot(std::move(sysfsRoot))
    , ProcfsRoot(std::move(procfsRoot))
    , NvmlFile(std::move(nvmlFile))
    , ClientScanner(ProcfsRoot)
{
}

std::vector<TGpuStatus> TGpuReader::Read(std::int64_t nowNs, const TGpuChoice& choice)
{
    if (!ListedNs || nowNs - *ListedNs >= ListEveryNs || nowNs < *ListedNs) {
        Cards = ListDrmCards(SysfsRoot);
        ListedNs = nowNs;
    }
    const std::vector<TDrmCard>& cards = Cards;
    // Whether a card sleeps is asked first, of the PCI device, before any file of the card.
    std::vector<bool> asleep;
    bool nvidiaAsleep = false;
    bool intelAwake = false;
    for (std::size_t i = 0; i < cards.size(); ++i) {
        const TDrmCard& card = cards[i];
        if (!choice.Has(i + 1)) {
            asleep.push_back(false);
            continue;
        }
        const std::string statusFile =
            SysfsRoot + "/bus/pci/devices/" + card.PciAddress + "/power/runtime_status";
        // Reading a card on its way down would wake it up again.
        const auto power = ReadSmallFile(statusFile);
        asleep.push_back(power == "suspended" || power == "suspending");
        nvidiaAsleep = nvidiaAsleep || (asleep.back() && card.Driver == "nvidia");
        intelAwake = intelAwake || (!asleep.back() && DriverVendor(card.Driver) == "Intel");
    }
    const auto clients =
        intelAwake ? ClientScanner.Scan(nowNs) : std::map<std::string, TDrmClients>{};
    std::vector<TGpuStatus> gpus;
    std::map<std::string, TCardState, std::less<>> states;
    for (std::size_t i = 0; i < cards.size(); ++i) {
        const TDrmCard& card = cards[i];
        if (!choice.Has(i + 1)) {
            gpus.push_back(UnchosenCard(card));
            continue;
        }
        TCardState& state = states[card.PciAddress];
        if (const auto old = States.find(card.PciAddress); old != States.end())
            state = std::move(old->second);
        TGpuStatus status;
        status.Card = card.Card;
        status.PciAddress = card.PciAddress;
        status.Driver = card.Driver;
        const std::string& device = card.Device;
        if (asleep[i]) {
            status.Asleep = true;
            status.Figures.BusyPercent = 0.0;
            state.Energy.Reset();
            state.Busy = TIntelGpuBusy();
            state.Hwmon.clear();
        } else {
            if (!state.VendorId)
                state.VendorId = ReadVendorId(device + "/vendor");
            status.VendorId = state.VendorId;
            if (card.Driver == "amdgpu")
                ReadAmd(device, status, state);
            else if (card.Driver == "i915" || card.Driver == "xe")
                ReadIntel(card.Folder, device, status, state, clients, nowNs);
            else if (card.Driver == "nvidia")
                ReadNvidia(status, !nvidiaAsleep);
            if (!status.Name.empty())
                state.Name = PrintableText(status.Name);
        }
        status.Name = !state.Name.empty() ? state.Name
                                          : std::string(VendorName(status.VendorId, card.Driver)) +
                                                " " + card.PciAddress;
        gpus.push_back(std::move(status));
    }
    States = std::move(states);
    return gpus;
}

void TGpuReader::ReadAmd(const std::string& device, TGpuStatus& status, TCardState& state)
{
    if (const auto busy = ReadUnsignedFile(device + "/gpu_busy_percent"))
        status.Figures.BusyPercent = static_cast<double>(std::min<std::uint64_t>(*busy, 100));
    status.Figures.MemoryUsedBytes = ReadUnsignedFile(device + "/mem_info_vram_used");
    status.Figures.MemoryTotalBytes = ReadUnsignedFile(device + "/mem_info_vram_total");
    // The name never changes: it is read until one is found.
    if (state.Name.empty())
        status.Name = ReadSmallFile(device + "/product_name").value_or("");
    ReadHwmon(device, status, state, 0);
}

void TGpuReader::ReadIntel(const std::string& card, const std::string& device, TGpuStatus& status,
                           TCardState& state, const std::map<std::string, TDrmClients>& clients,
                           std::int64_t nowNs)
{
    const auto clock = status.Driver == "xe"
                           ? ReadUnsignedFile(device + "/tile0/gt0/freq0/act_freq")
                           : ReadUnsignedFile(card + "/gt_act_freq_mhz");
    if (clock)
        status.Figures.ClockMHz = static_cast<double>(*clock);
    ReadHwmon(device, status, state, nowNs);
    const auto own = clients.find(status.PciAddress);
    status.Figures.BusyPercent =
        state.Busy.Update(own != clients.end() ? own->second : TDrmClients{}, nowNs);
}

void TGpuReader::ReadNvidia(TGpuStatus& status, bool mayListDevices)
{
    if (!NvmlTried && mayListDevices) {
        NvmlTried = true;
        Nvml = TNvmlLibrary::Load(NvmlFile, Reason);
    }
    const auto figures = Nvml ? Nvml->Figures(status.PciAddress, mayListDevices) : std::nullopt;
    if (!figures) {
        status.Name = NvidiaModel(ProcfsRoot, status.PciAddress);
        return;
    }
    status.Name = figures->Name;
    status.Figures = *figures;
}

void TGpuReader::ReadHwmon(const std::string& device, TGpuStatus& status, TCardState& state,
                           std::int64_t nowNs) const
{
    if (state.Hwmon.empty()) {
        state.Hwmon = FirstHwmon(device);
        state.HwmonFiles = state.Hwmon.empty() ? 0 : HwmonFilesIn(state.Hwmon);
    }
    if (state.Hwmon.empty())
        return;
    const std::string& hwmon = state.Hwmon;
    const auto readIf = [&](THwmonFile file, const char* name) -> std::optional<std::uint64_t> {
        return (state.HwmonFiles & file) != 0 ? ReadUnsignedFile(hwmon + "/" + name) : std::nullopt;
    };
    // m°C, µW and Hz.
    if ((state.HwmonFiles & Temperature) != 0)
        if (const auto temperature = ReadSignedFile(hwmon + "/temp1_input"))
            status.Figures.TemperatureCelsius = static_cast<double>(*temperature) / 1000.0;
    auto power = readIf(PowerAverage, "power1_average");
    if (!power)
        power = readIf(PowerInput, "power1_input");
    if (power)
        status.Figures.PowerWatts = static_cast<double>(*power) / 1e6;
    if (const auto frequency = readIf(Frequency, "freq1_input"))
        status.Figures.ClockMHz = static_cast<double>(*frequency) / 1e6;
    // Intel gives energy (µJ) instead of power; its rate is µW.
    const auto energy = power ? std::nullopt : readIf(Energy, "energy1_input");
    if (!energy)
        state.Energy.Reset();
    else if (const auto rate = state.Energy.Update(*energy, nowNs))
        status.Figures.PowerWatts = *rate / 1e6;
    // A driver reload renumbers the folders: look again next time.
    if (!status.Figures.TemperatureCelsius && !power && !energy)
        state.Hwmon.clear();
}

} // namespace statlume::platform
