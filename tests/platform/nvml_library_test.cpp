#include <optional>
#include <string>

#include "platform/fixture_copy.h"
#include "platform/linux/gpu_reader.h"
#include "platform/linux/nvml_library.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

namespace statlume::platform {
namespace {

using testing::HostProcfs;
using testing::HostSysfs;

TEST(NvmlLibrary, BusIdsBecomeSysfsAddresses)
{
    struct TRow
    {
        const char* name;
        const char* busId;
        std::optional<std::string> address;
    };
    const TRow rows[] = {
        {"eight-digit domain", "00000000:0A:00.0", "0000:0a:00.0"},
        {"legacy", "0000:01:00.0", "0000:01:00.0"},
        {"domain beyond 16 bits", "00010000:01:00.0", std::nullopt},
        {"no function", "0000:01:00", std::nullopt},
        {"slot beyond 31", "0000:01:20.0", std::nullopt},
        {"not hex", "0000:0g:00.0", std::nullopt},
        {"empty", "", std::nullopt},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(CanonicalPciAddress(row.busId), row.address);
    }
}

TEST(NvmlLibrary, FakeLibraryFiguresReachTheCardAtItsPciAddress)
{
    TGpuReader reader(HostSysfs, HostProcfs, STATLUME_FAKE_NVML);
    const auto gpus = reader.Read(1);
    ASSERT_EQ(gpus.size(), 6u);
    const TGpuStatus& nvidia = gpus[2];
    EXPECT_EQ(nvidia.PciAddress, "0000:01:00.0");
    EXPECT_EQ(nvidia.Name, "Fake GeForce RTX 3060");
    EXPECT_EQ(nvidia.Figures.BusyPercent, 42.0);
    EXPECT_EQ(nvidia.Figures.MemoryUsedBytes, 3ull << 30);
    EXPECT_EQ(nvidia.Figures.MemoryTotalBytes, 12ull << 30);
    // The newer temperature call wins where the library has both.
    EXPECT_EQ(nvidia.Figures.TemperatureCelsius, 61.0);
    EXPECT_EQ(nvidia.Figures.PowerWatts, 85.5);
    EXPECT_EQ(nvidia.Figures.ClockMHz, 1755.0);
    EXPECT_EQ(reader.NvmlReason(), "");
}

TEST(NvmlLibrary, SleepingCardGetsNoHandleAndKeepsItsName)
{
    // Held open so its counter outlives the readers' loads.
    void* library = ::dlopen(STATLUME_FAKE_NVML, RTLD_NOW);
    ASSERT_NE(library, nullptr);
    const auto lookups = reinterpret_cast<int (*)()>(::dlsym(library, "fakeNvmlHandleLookups"));
    ASSERT_NE(lookups, nullptr);
    const testing::TFixtureCopy tree;
    const std::string status = "sys/devices/pci0000:00/0000:00:01.0/0000:01:00.0/power/"
                               "runtime_status";
    TGpuReader reader(tree.Sysfs(), tree.Procfs(), STATLUME_FAKE_NVML);
    EXPECT_EQ(reader.Read(1)[2].Name, "Fake GeForce RTX 3060");
    tree.Write(status, "suspended");
    const int before = lookups();
    const auto asleep = reader.Read(2)[2];
    EXPECT_EQ(lookups(), before);
    EXPECT_TRUE(asleep.Asleep);
    EXPECT_EQ(asleep.Figures.BusyPercent, 0.0);
    EXPECT_EQ(asleep.Figures.TemperatureCelsius, std::nullopt);
    EXPECT_EQ(asleep.Name, "Fake GeForce RTX 3060");

    // Asleep from the start: the library is not even asked for its devices.
    TGpuReader late(tree.Sysfs(), tree.Procfs(), STATLUME_FAKE_NVML);
    EXPECT_EQ(late.Read(1)[2].Name, "NVIDIA 0000:01:00.0");
    EXPECT_EQ(lookups(), before);
    ::dlclose(library);
}

} // namespace
} // namespace statlume::platform
