#include <functional>
#include <memory>
#include <set>
#include <string>

#include "base/locale_info.h"
#include "monitor/monitor.h"
#include "platform/fake/fake_sensor.h"
#include "platform/fake/fake_system_status.h"
#include "platform/fake/perf_block_builder.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

// The families are read from the Active flags at every collection, not kept from the
// template: the tray's processor icon makes its family Active besides the template's.
TEST(Monitor, CollectsTheFamiliesActiveAtEachCollection)
{
    platform::FakePerfDataSource perf;
    platform::FakeSystemStatus status;
    TSensorStep sensors(
        std::make_unique<platform::TFakeSensorBlock>(),
        std::make_unique<platform::TFakeSensorStarter>(
            platform::TFakeLibraryKind::Missing, std::make_shared<platform::TFakeStarterLog>()),
        [](std::function<void()>) {}, false);
    TSnapshotCollector collector(perf, status, sensors);
    for (int i = 0; i < 2; ++i)
        perf.Push("238", platform::ProcessorBlock(1000 * (i + 1), {{"0", 100}, {"_Total", 100}}));
    perf.Push("2", platform::SystemBlock(50'000'000, 10'000'000, 10'000'000, 123, 4567));
    TRawDataShell shell;
    const LocaleInfo locale;
    const TFormatterList formatters = CreateFormatters(shell, locale);
    TMonitor monitor(formatters);
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

} // namespace
} // namespace statlume
