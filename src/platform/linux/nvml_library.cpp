#include "platform/linux/nvml_library.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <cstring>

#include <dlfcn.h>

namespace statlume::platform {

// Named rather than anonymous: the library's function table below is a member type, which
// must not hold types without linkage.
namespace nvml_abi {

// The library's calls return 0 on success. A device is an opaque pointer.
using TReturn = int;
using TDevice = void*;

// Layouts of the structures the calls fill, as the library's documentation gives them.
struct TUtilization
{
    unsigned int Gpu;
    unsigned int Memory;
};

struct TMemory
{
    unsigned long long Total;
    unsigned long long Free;
    unsigned long long Used;
};

struct TTemperatureV1
{
    unsigned int Version;
    int SensorType;
    int Temperature;
};

// Every version of the PCI structure starts with a 16-byte bus id text; the newest is 68
// bytes, so this buffer holds any.
struct alignas(8) TPciInfoBuffer
{
    char BusIdLegacy[16];
    unsigned char Rest[240];
};

constexpr int TemperatureGpu = 0;
constexpr int ClockGraphics = 0;
constexpr unsigned int NameBufferSize = 96;
constexpr unsigned int DeviceLimit = 64;

template <typename TFunction> TFunction Symbol(void* handle, const char* name)
{
    return reinterpret_cast<TFunction>(::dlsym(handle, name));
}

std::optional<unsigned long> HexField(std::string_view text)
{
    unsigned long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

} // namespace nvml_abi

using namespace nvml_abi;

struct TNvmlLibrary::TToken
{
};

struct TNvmlLibrary::TApi
{
    TReturn (*Init)() = nullptr;
    TReturn (*Shutdown)() = nullptr;
    TReturn (*GetCount)(unsigned int*) = nullptr;
    TReturn (*GetHandleByIndex)(unsigned int, TDevice*) = nullptr;
    TReturn (*GetPciInfo)(TDevice, TPciInfoBuffer*) = nullptr;
    TReturn (*GetName)(TDevice, char*, unsigned int) = nullptr;
    TReturn (*GetUtilization)(TDevice, TUtilization*) = nullptr;
    TReturn (*GetMemory)(TDevice, TMemory*) = nullptr;
    TReturn (*GetTemperature)(TDevice, int, unsigned int*) = nullptr;
    TReturn (*GetTemperatureV)(TDevice, TTemperatureV1*) = nullptr;
    TReturn (*GetPower)(TDevice, unsigned int*) = nullptr;
    TReturn (*GetClock)(TDevice, int, unsigned int*) = nullptr;

    explicit TApi(void* handle)
    {
        using TPci = decltype(GetPciInfo);
        Init = Symbol<decltype(Init)>(handle, "nvmlInit_v2");
        Shutdown = Symbol<decltype(Shutdown)>(handle, "nvmlShutdown");
        GetCount = Symbol<decltype(GetCount)>(handle, "nvmlDeviceGetCount_v2");
        GetHandleByIndex =
            Symbol<decltype(GetHandleByIndex)>(handle, "nvmlDeviceGetHandleByIndex_v2");
        GetPciInfo = Symbol<TPci>(handle, "nvmlDeviceGetPciInfo_v3");
        if (GetPciInfo == nullptr)
            GetPciInfo = Symbol<TPci>(handle, "nvmlDeviceGetPciInfo");
        GetName = Symbol<decltype(GetName)>(handle, "nvmlDeviceGetName");
        GetUtilization = Symbol<decltype(GetUtilization)>(handle, "nvmlDeviceGetUtilizationRates");
        GetMemory = Symbol<decltype(GetMemory)>(handle, "nvmlDeviceGetMemoryInfo");
        GetTemperature = Symbol<decltype(GetTemperature)>(handle, "nvmlDeviceGetTemperature");
        GetTemperatureV = Symbol<decltype(GetTemperatureV)>(handle, "nvmlDeviceGetTemperatureV");
        GetPower = Symbol<decltype(GetPower)>(handle, "nvmlDeviceGetPowerUsage");
        GetClock = Symbol<decltype(GetClock)>(handle, "nvmlDeviceGetClockInfo");
    }
};

std::optional<std::string> CanonicalPciAddress(std::string_view busId)
{
    const std::size_t first = busId.find(':');
    const std::size_t second = busId.find(':', first + 1);
    const std::size_t dot = busId.find('.', second + 1);
    if (first == std::string_view::npos || second == std::string_view::npos ||
        dot == std::string_view::npos)
        return std::nullopt;
    const auto domain = HexField(busId.substr(0, first));
    const auto bus = HexField(busId.substr(first + 1, second - first - 1));
    const auto slot = HexField(busId.substr(second + 1, dot - second - 1));
    const auto function = HexField(busId.substr(dot + 1));
    if (!domain || !bus || !slot || !function || *domain > 0xffff || *bus > 0xff || *slot > 0x1f ||
        *function > 7)
        return std::nullopt;
    std::array<char, 16> text{};
    std::snprintf(text.data(), text.size(), "%04lx:%02lx:%02lx.%lx", *domain, *bus, *slot,
                  *function);
    return std::string(text.data());
}

std::unique_ptr<TNvmlLibrary> TNvmlLibrary::Load(const std::string& file, std::string& reason)
{
    void* handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* why = ::dlerror();
        reason = "NVIDIA figures need " + file + ", which cannot be loaded" +
                 (why != nullptr ? std::string(": ") + why : std::string());
        return nullptr;
    }
    auto library = std::make_unique<TNvmlLibrary>(TToken{}, handle);
    if (library->Api->Init == nullptr || library->Api->Init() != 0) {
        reason = "NVIDIA figures need " + file + ", which did not start";
        library->Api->Shutdown = nullptr;
        return nullptr;
    }
    return library;
}

void TNvmlLibrary::TDlClose::operator()(void* handle) const
{
    ::dlclose(handle);
}

TNvmlLibrary::TNvmlLibrary(const TToken&, void* handle)
    : Handle(handle)
    , Api(std::make_unique<TApi>(handle))
{
}

TNvmlLibrary::~TNvmlLibrary()
{
    if (Api->Shutdown != nullptr)
        Api->Shutdown();
}

void TNvmlLibrary::ListDevices()
{
    Listed = true;
    unsigned int count = 0;
    if (Api->GetCount == nullptr || Api->GetHandleByIndex == nullptr ||
        Api->GetPciInfo == nullptr || Api->GetCount(&count) != 0)
        return;
    for (unsigned int index = 0; index < count && index < DeviceLimit; ++index) {
        TDevice device = nullptr;
        TPciInfoBuffer info{};
        if (Api->GetHandleByIndex(index, &device) != 0 || Api->GetPciInfo(device, &info) != 0)
            continue;
        const std::string_view busId(info.BusIdLegacy,
                                     strnlen(info.BusIdLegacy, sizeof info.BusIdLegacy));
        if (const auto address = CanonicalPciAddress(busId))
            Devices.emplace(*address, device);
    }
}

std::optional<TNvmlFigures> TNvmlLibrary::Figures(const std::string& pciAddress,
                                                  bool mayListDevices)
{
    if (!Listed && mayListDevices)
        ListDevices();
    const auto found = Devices.find(pciAddress);
    if (found == Devices.end())
        return std::nullopt;
    const TDevice device = found->second;
    TNvmlFigures figures;
    if (std::array<char, NameBufferSize> name{};
        Api->GetName != nullptr && Api->GetName(device, name.data(), NameBufferSize) == 0)
        figures.Name.assign(name.data(), strnlen(name.data(), name.size()));
    if (TUtilization use{};
        Api->GetUtilization != nullptr && Api->GetUtilization(device, &use) == 0)
        figures.BusyPercent = std::min(use.Gpu, 100u);
    if (TMemory memory{}; Api->GetMemory != nullptr && Api->GetMemory(device, &memory) == 0) {
        figures.MemoryUsedBytes = memory.Used;
        figures.MemoryTotalBytes = memory.Total;
    }
    TTemperatureV1 temperature{sizeof(TTemperatureV1) | (1u << 24), TemperatureGpu, 0};
    unsigned int value = 0;
    if (Api->GetTemperatureV != nullptr && Api->GetTemperatureV(device, &temperature) == 0)
        figures.TemperatureCelsius = temperature.Temperature;
    else if (Api->GetTemperature != nullptr &&
             Api->GetTemperature(device, TemperatureGpu, &value) == 0)
        figures.TemperatureCelsius = value;
    if (Api->GetPower != nullptr && Api->GetPower(device, &value) == 0)
        figures.PowerWatts = value / 1000.0;
    if (Api->GetClock != nullptr && Api->GetClock(device, ClockGraphics, &value) == 0)
        figures.ClockMHz = value;
    return figures;
}

} // namespace statlume::platform
