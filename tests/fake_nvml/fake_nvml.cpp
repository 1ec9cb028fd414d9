// A management library with two fixed cards, exporting the calls the GPU reader looks up.
#include <cstdio>
#include <cstring>

namespace {

struct TFakeDevice
{
    const char* BusId;
    const char* Name;
};

constexpr TFakeDevice Devices[] = {
    {"00000000:01:00.0", "Fake GeForce RTX 3060"},
    {"00000000:0A:00.0", "Fake card not in the tree"},
};

int HandleLookups = 0;
bool Started = false;

const TFakeDevice* Device(void* handle)
{
    for (const TFakeDevice& device : Devices)
        if (handle == &device)
            return &device;
    return nullptr;
}

} // namespace

extern "C" {

// How often a device handle was asked for: the tests check a sleeping card gets none.
__attribute__((visibility("default"))) int fakeNvmlHandleLookups()
{
    return HandleLookups;
}

__attribute__((visibility("default"))) int nvmlInit_v2()
{
    Started = true;
    return 0;
}

__attribute__((visibility("default"))) int nvmlShutdown()
{
    Started = false;
    return 0;
}

__attribute__((visibility("default"))) int nvmlDeviceGetCount_v2(unsigned int* count)
{
    *count = sizeof Devices / sizeof Devices[0];
    return Started ? 0 : 1;
}

__attribute__((visibility("default"))) int nvmlDeviceGetHandleByIndex_v2(unsigned int index,
                                                                         void** device)
{
    ++HandleLookups;
    if (!Started || index >= sizeof Devices / sizeof Devices[0])
        return 2;
    *device = const_cast<TFakeDevice*>(&Devices[index]);
    return 0;
}

// The legacy bus id leads the structure; the rest is not read.
__attribute__((visibility("default"))) int nvmlDeviceGetPciInfo_v3(void* device, char* info)
{
    const TFakeDevice* fake = Device(device);
    if (fake == nullptr)
        return 2;
    std::snprintf(info, 16, "%s", fake->BusId + 4);
    return 0;
}

__attribute__((visibility("default"))) int nvmlDeviceGetName(void* device, char* name,
                                                             unsigned int length)
{
    const TFakeDevice* fake = Device(device);
    if (fake == nullptr || length < std::strlen(fake->Name) + 1)
        return 2;
    std::strcpy(name, fake->Name);
    return 0;
}

__attribute__((visibility("default"))) int nvmlDeviceGetUtilizationRates(void* device,
                                                                         unsigned int* rates)
{
    rates[0] = 42;
    rates[1] = 17;
    return Device(device) ? 0 : 2;
}

__attribute__((visibility("default"))) int nvmlDeviceGetMemoryInfo(void* device,
                                                                   unsigned long long* memory)
{
    memory[0] = 12ull << 30;
    memory[1] = 9ull << 30;
    memory[2] = 3ull << 30;
    return Device(device) ? 0 : 2;
}

// The older call gives another figure, so a test sees which one was used.
__attribute__((visibility("default"))) int nvmlDeviceGetTemperature(void*, int, unsigned int* t)
{
    *t = 50;
    return 0;
}

__attribute__((visibility("default"))) int nvmlDeviceGetTemperatureV(void* device, int* reading)
{
    // version, sensor type, temperature
    if (Device(device) == nullptr || reading[0] != static_cast<int>(12 | (1u << 24)) ||
        reading[1] != 0)
        return 2;
    reading[2] = 61;
    return 0;
}

__attribute__((visibility("default"))) int nvmlDeviceGetPowerUsage(void* device,
                                                                   unsigned int* milliwatts)
{
    *milliwatts = 85500;
    return Device(device) ? 0 : 2;
}

__attribute__((visibility("default"))) int nvmlDeviceGetClockInfo(void* device, int type,
                                                                  unsigned int* megahertz)
{
    *megahertz = type == 0 ? 1755 : 7000;
    return Device(device) ? 0 : 2;
}
}
