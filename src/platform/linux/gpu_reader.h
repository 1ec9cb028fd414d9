// The figures of every graphics card: amdgpu and Intel from sysfs and procfs, NVIDIA from its
// management library, none of them from a card that sleeps.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/counter_rate.h"
#include "platform/linux/drm_cards.h"
#include "platform/linux/intel_gpu_busy.h"
#include "platform/linux/nvml_library.h"

namespace statlume::platform {

/// One card's figures; a figure its driver does not give, or whose file cannot be read, is
/// empty.
struct TGpuStatus
{
    std::string Card;
    std::string PciAddress;
    std::string Driver;
    /// The PCI vendor id (0x1002 AMD, 0x8086 Intel, 0x10de NVIDIA); empty while asleep.
    std::optional<std::uint32_t> VendorId;
    /// The card's name where the driver gives one, else its vendor and PCI address; printable.
    std::string Name;
    /// In runtime suspend: busy 0 and nothing else read.
    bool Asleep = false;
    /// The live figures; Intel's busy share and power come from counters and need two reads.
    TGpuFigures Figures;
};

/// Reads the cards under the given roots, keeping what rates need between reads. Nothing is
/// opened until the first Read, no file stays open between reads, and the NVIDIA library is
/// loaded at the first read that finds an NVIDIA card awake.
class TGpuReader
{
public:
    /// Reads through sysfsRoot and procfsRoot; nvmlFile is what dlopen is given.
    explicit TGpuReader(std::string sysfsRoot = "/sys", std::string procfsRoot = "/proc",
                        std::string nvmlFile = std::string(NvmlLibraryFile));

    /// Every card in PCI address order at nowNs (a monotonic time in ns). Whether a card is
    /// in runtime suspend (or on its way there) is read before anything else of it is opened;
    /// such a card is reported asleep and its rates start again when it wakes.
    /// Only the chosen cards are looked at; the others keep no state, so their rates start
    /// again when they are chosen.
    std::vector<TGpuStatus> Read(std::int64_t nowNs, const TGpuChoice& choice = {});

    /// Why NVIDIA cards show no usage (the library is missing or failed), once known; empty
    /// otherwise. Callers print it once.
    const std::string& NvmlReason() const { return Reason; }

private:
    struct TCardState
    {
        TCounterRate Energy;
        TIntelGpuBusy Busy;
        std::string Name;
        /// The card's hwmon folder once found; looked for again when it gave nothing.
        std::string Hwmon;
        /// Which of the figure files the hwmon folder had when found (THwmonFile bits), so
        /// a tick opens only files that are there.
        unsigned HwmonFiles = 0;
        std::optional<std::uint32_t> VendorId;
    };

    /// Cards come and go rarely (an external GPU), so the list is made again only this often.
    static constexpr std::int64_t ListEveryNs = 5'000'000'000;

    void ReadAmd(const std::string& device, TGpuStatus& status, TCardState& state);
    void ReadIntel(const std::string& card, const std::string& device, TGpuStatus& status,
                   TCardState& state, const std::map<std::string, TDrmClients>& clients,
                   std::int64_t nowNs);
    void ReadNvidia(TGpuStatus& status, bool mayListDevices);
    void ReadHwmon(const std::string& device, TGpuStatus& status, TCardState& state,
                   std::int64_t nowNs) const;

    std::string SysfsRoot;
    std::string ProcfsRoot;
    std::string NvmlFile;
    std::vector<TDrmCard> Cards;
    std::optional<std::int64_t> ListedNs;
    std::map<std::string, TCardState, std::less<>> States;
    std::unique_ptr<TNvmlLibrary> Nvml;
    bool NvmlTried = false;
    std::string Reason;
    TDrmClientScanner ClientScanner;
};

} // namespace statlume::platform
