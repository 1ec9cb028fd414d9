// NVIDIA's management library, loaded at run time and asked about cards by PCI address.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/figure_source.h"

namespace statlume::platform {

/// The library file the driver installs, found through the loader's search path.
inline constexpr std::string_view NvmlLibraryFile = "libnvidia-ml.so.1";

/// What the library tells of one card; each figure is empty when its call is missing from
/// the library or fails.
struct TNvmlFigures : TGpuFigures
{
    std::string Name;
};

/// "0000:01:00.0" from a bus id the library writes ("00000000:01:00.0", "0000:01:00.0");
/// empty for anything else.
std::optional<std::string> CanonicalPciAddress(std::string_view busId);

/// The loaded and initialised library; unloads and shuts it down when destroyed. Every
/// function is looked up as optional, as drivers drop deprecated ones.
class TNvmlLibrary
{
public:
    /// Loads file with dlopen and initialises it; null, with one line saying why in reason,
    /// when the library is missing, lacks its start function or fails to start.
    static std::unique_ptr<TNvmlLibrary> Load(const std::string& file, std::string& reason);

    struct TToken;
    /// Takes an opened library; only Load makes one.
    TNvmlLibrary(const TToken&, void* handle);
    ~TNvmlLibrary();
    TNvmlLibrary(const TNvmlLibrary&) = delete;
    TNvmlLibrary& operator=(const TNvmlLibrary&) = delete;

    /// The figures of the card at pciAddress; empty when the library knows no such card.
    /// Device handles are looked up (which starts every card) only when mayListDevices is
    /// true, that is while no NVIDIA card sleeps; handles found once are kept.
    std::optional<TNvmlFigures> Figures(const std::string& pciAddress, bool mayListDevices);

private:
    struct TApi;
    struct TDlClose
    {
        void operator()(void* handle) const;
    };
    void ListDevices();

    std::unique_ptr<void, TDlClose> Handle;
    std::unique_ptr<TApi> Api;
    bool Listed = false;
    std::map<std::string, void*, std::less<>> Devices;
};

} // namespace statlume::platform
