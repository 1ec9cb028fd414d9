#include <functional>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/locale_info.h"
#include "monitor/monitor.h"
#include "platform/fake/fake_sensor.h"
#include "platform/fake/fake_system_status.h"
#include "platform/fake/perf_block_builder.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

// A collector over fake sources, formatters over its shell and a monitor of them.
struct TMonitorRig
{
    platform::FakePerfDataSource perf;
    platform::FakeSystemStatus status;
    TSensorStep sensors{
        std::make_unique<platform::TFakeSensorBlock>(),
        std::make_unique<platform::TFakeSensorStarter>(
            platform::TFakeLibraryKind::Missing, std::make_shared<platform::TFakeStarterLog>()),
        [](std::function<void()>) {}, false};
    TSnapshotCollector collector{perf, status, sensors};
    TRawDataShell shell;
    const LocaleInfo locale;
    const TFormatterList formatters = CreateFormatters(shell, locale);
    TMonitor monitor{formatters};
};

// The families are read from the Active flags at every collection, not kept from the
// template: the tray's processor icon makes its family Active besides the template's.
TEST(Monitor, CollectsTheFamiliesActiveAtEachCollection)
{
    TMonitorRig rig;
    auto& perf = rig.perf;
    auto& collector = rig.collector;
    auto& formatters = rig.formatters;
    auto& monitor = rig.monitor;
    for (int i = 0; i < 2; ++i)
        perf.Push("238", platform::ProcessorBlock(1000 * (i + 1), {{"0", 100}, {"_Total", 100}}));
    perf.Push("2", platform::SystemBlock(50'000'000, 10'000'000, 10'000'000, 123, 4567));
    const auto queried = [&] {
        std::set<std::string> objects;
        for (const auto& call : perf.Calls)
            objects.insert(call.first);
        perf.Calls.clear();
        return objects;
    };

    EXPECT_EQ(monitor.SetTemplate("<NAME=Threads>"), "");
    EXPECT_EQ(ActiveFamilies(formatters), TFamilySet().With(TFamily::UTP));
    monitor.Collect(collector, true, 1000);
    EXPECT_EQ(queried(), std::set<std::string>{"2"});
    FamilyOf(formatters, TFamily::Proc).Active = true;
    monitor.Collect(collector, false, 1000);
    EXPECT_EQ(queried(), (std::set<std::string>{"2", "238"}));
}

// A core past four and an interface by name come through collection only while the template
// shows them.
TEST(Monitor, CollectsCoresAndInterfacesTheTemplateShows)
{
    TMonitorRig rig;
    auto& perf = rig.perf;
    auto& collector = rig.collector;
    auto& shell = rig.shell;
    auto& monitor = rig.monitor;
    const auto collectTwice = [&] {
        for (std::int64_t second = 1; second <= 2; ++second) {
            std::vector<std::pair<std::string, std::int64_t>> cpus;
            for (int core = 0; core < 8; ++core)
                cpus.emplace_back(std::to_string(core), second * core * 1'000'000);
            cpus.emplace_back("_Total", 0);
            perf.Push("238", platform::ProcessorBlock(second * 10'000'000, cpus));
            perf.Push("638", platform::NetworkBlock(
                                 {{"eth0", 0, 0},
                                  {"eth5", static_cast<std::uint32_t>(second * 3072), 0}}));
            monitor.Collect(collector, second == 1, 1000);
        }
    };

    monitor.SetTemplate("<NAME=ProcUsage FORMAT=\"5\">|<NAME=NetRead FORMAT=\"eth5\">");
    collectTwice();
    EXPECT_EQ(monitor.RenderTexts(), std::vector<std::string>{"60|3"});
    monitor.SetTemplate("<NAME=ProcUsage FORMAT=\"4\">|<NAME=NetRead FORMAT=\"ALL\">");
    collectTwice();
    EXPECT_TRUE(shell.Beyond.Cores.empty());
    EXPECT_TRUE(shell.Beyond.Interfaces.empty());
}

} // namespace
} // namespace statlume
