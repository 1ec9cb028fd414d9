#include <filesystem>
#include <optional>
#include <string>

#include "platform/fixture_copy.h"
#include "platform/linux/intel_gpu_busy.h"

#include <gtest/gtest.h>

namespace statlume::platform {
namespace {

TEST(IntelGpuBusy, ScanCountsEachClientOnceByPciAddress)
{
    const auto clients = ScanDrmClients(STATLUME_TEST_DATA "/procfs_host");
    ASSERT_EQ(clients.size(), 1u);
    const TDrmClients& gpu = clients.at("0000:00:02.0");
    ASSERT_EQ(gpu.size(), 2u);
    EXPECT_EQ(gpu.at(7).BusyNs.at("render"), 1'000'000'000u);
    EXPECT_EQ(gpu.at(7).BusyNs.count("capacity-video"), 0u);
    EXPECT_EQ(gpu.at(9).BusyNs.at("video"), 3'000'000'000u);
    EXPECT_EQ(gpu.at(9).Capacity.at("video"), 2u);
}

TEST(IntelGpuBusy, ScannerFindsNewClientsAtItsNextWalkAndDropsGoneOnes)
{
    const testing::TFixtureCopy tree;
    TDrmClientScanner scanner(tree.Procfs(), 5);
    EXPECT_EQ(scanner.Scan(0).at("0000:00:02.0").size(), 2u);
    std::filesystem::create_directories(tree.Procfs() + "/4400/fd");
    std::filesystem::create_directories(tree.Procfs() + "/4400/fdinfo");
    std::filesystem::create_symlink("/dev/dri/renderD129", tree.Procfs() + "/4400/fd/8");
    tree.Write("proc/4400/fdinfo/8", "drm-client-id:\t3\ndrm-pdev:\t0000:00:04.0\n"
                                     "drm-engine-rcs:\t5 ns");
    std::filesystem::remove_all(tree.Procfs() + "/4300");
    const auto between = scanner.Scan(4);
    EXPECT_EQ(between.at("0000:00:02.0").size(), 1u);
    EXPECT_EQ(between.count("0000:00:04.0"), 0u);
    EXPECT_EQ(scanner.Scan(5).at("0000:00:04.0").size(), 1u);
}

TDrmClients Clients(std::initializer_list<std::pair<std::uint64_t, const char*>> texts)
{
    std::map<std::string, TDrmClients> all;
    for (const auto& [id, engines] : texts)
        AddDrmClient(
            "drm-pdev:\t0000:00:02.0\ndrm-client-id:\t" + std::to_string(id) + "\n" + engines, all);
    return all["0000:00:02.0"];
}

TEST(IntelGpuBusy, BusiestEngineOfClientsSeenTwice)
{
    struct TRow
    {
        const char* name;
        TDrmClients before;
        TDrmClients after;
        std::optional<double> busy;
    };
    const char* render0 = "drm-engine-render:\t0 ns";
    const TRow rows[] = {
        {"half a second of one", Clients({{1, render0}}),
         Clients({{1, "drm-engine-render:\t500000000 ns"}}), 50},
        {"engines of a class share the capacity", Clients({{1, "drm-engine-video:\t0 ns"}}),
         Clients({{1, "drm-engine-video:\t500000000 ns\ndrm-engine-capacity-video:\t2"}}), 25},
        {"clients add up per engine", Clients({{1, render0}, {2, render0}}),
         Clients(
             {{1, "drm-engine-render:\t300000000 ns"}, {2, "drm-engine-render:\t400000000 ns"}}),
         70},
        {"a new client counts from its second scan", Clients({}),
         Clients({{3, "drm-engine-render:\t900000000 ns"}}), 0},
        {"a counter that went back counts nothing",
         Clients({{1, "drm-engine-render:\t900000000 ns"}}), Clients({{1, render0}}), 0},
        {"xe cycles against the GPU's cycles",
         Clients({{1, "drm-cycles-rcs:\t100\ndrm-total-cycles-rcs:\t1000"},
                  {2, "drm-cycles-rcs:\t0\ndrm-total-cycles-rcs:\t1000"}}),
         Clients({{1, "drm-cycles-rcs:\t300\ndrm-total-cycles-rcs:\t2000"},
                  {2, "drm-cycles-rcs:\t100\ndrm-total-cycles-rcs:\t2000"}}),
         30},
        {"capped at 100", Clients({{1, render0}, {2, render0}}),
         Clients(
             {{1, "drm-engine-render:\t900000000 ns"}, {2, "drm-engine-render:\t900000000 ns"}}),
         100},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.name);
        TIntelGpuBusy busy;
        EXPECT_EQ(busy.Update(row.before, 1'000'000'000), std::nullopt);
        const auto share = busy.Update(row.after, 2'000'000'000);
        ASSERT_TRUE(share.has_value());
        EXPECT_NEAR(*share, *row.busy, 1e-9);
    }
}

} // namespace
} // namespace statlume::platform
