#include <chrono>
#include <functional>
#include <memory>
#include <sstream>
#include <string>

#include "cli/console_monitor.h"
#include "platform/fake/fake_sensor.h"
#include "platform/fake/fake_system_status.h"
#include "platform/fake/perf_block_builder.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

// A console run over fakes; perfSetup decides what the performance source answers.
class ConsoleMonitorTest : public ::testing::Test
{
protected:
    std::unique_ptr<TConsoleApp>
    MakeApp(std::function<void(platform::FakePerfDataSource&)> perfSetup)
    {
        return std::make_unique<TConsoleApp>(Out, Err, Locale, [&](asio::io_context&) {
            auto perf = std::make_unique<platform::FakePerfDataSource>();
            perfSetup(*perf);
            auto status = std::make_unique<platform::FakeSystemStatus>();
            status->Computer = "fake-host";
            TConsoleSources sources;
            sources.Perf = std::move(perf);
            sources.Status = std::move(status);
            sources.Sensors = std::make_unique<TSensorStep>(
                std::make_unique<platform::TFakeSensorBlock>(),
                std::make_unique<platform::TFakeSensorStarter>(
                    platform::TFakeLibraryKind::Missing,
                    std::make_shared<platform::TFakeStarterLog>()),
                [](std::function<void()>) {}, false);
            return sources;
        });
    }

    static void WorkingPerf(platform::FakePerfDataSource& perf)
    {
        perf.Push("2", platform::SystemBlock(50'000'000, 10'000'000, 10'000'000, 77, 300));
    }

    LocaleInfo Locale;
    std::ostringstream Out;
    std::ostringstream Err;
};

TEST_F(ConsoleMonitorTest, OnceRendersOneTime)
{
    const auto app = MakeApp(WorkingPerf);
    TMonitorOptions options;
    options.TemplateText = "<NAME=CompName>\r\nP <NAME=Processes>";
    options.IntervalMs = 20;
    options.Once = true;
    EXPECT_EQ(TConsoleMonitor(*app, options, Out, Err).Run(), 0);
    EXPECT_EQ(Out.str(), "fake-host\nP 77\n\n");
    EXPECT_EQ(Err.str(), "");
}

TEST_F(ConsoleMonitorTest, OnceWithZeroIntervalDoesNotWait)
{
    const auto app = MakeApp(WorkingPerf);
    TMonitorOptions options;
    options.TemplateText = "<NAME=Processes>";
    options.IntervalMs = 0;
    options.Once = true;
    EXPECT_EQ(TConsoleMonitor(*app, options, Out, Err).Run(), 0);
    EXPECT_EQ(Out.str(), "77\n\n");
}

TEST_F(ConsoleMonitorTest, PrintRendersOnEveryTickUntilExit)
{
    const auto app = MakeApp(WorkingPerf);
    TMonitorOptions options;
    options.TemplateText = "tick";
    options.IntervalMs = 10;
    const std::string one = "tick\n\n";
    const auto renders = [&] { return Out.str().size() / one.size(); };
    // Stops after four renders rather than at a fixed time, so a stalled machine cannot make
    // it fail; the bound only keeps a broken timer from hanging the test.
    const auto start = std::chrono::steady_clock::now();
    const auto bound = start + std::chrono::seconds(10);
    asio::steady_timer check(app->Io());
    std::function<void()> watch = [&] {
        check.expires_after(std::chrono::milliseconds(1));
        check.async_wait([&](const std::error_code& error) {
            if (error)
                return;
            if (renders() >= 4 || std::chrono::steady_clock::now() > bound)
                app->Exit(0);
            else
                watch();
        });
    };
    watch();
    EXPECT_EQ(TConsoleMonitor(*app, options, Out, Err).Run(), 0);
    EXPECT_GE(renders(), 4u);
    // The first render comes at once, then one per tick: three ticks take at least 30 ms.
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
    EXPECT_EQ(Out.str().substr(0, 2 * one.size()), one + one);
}

TEST_F(ConsoleMonitorTest, PrintWithZeroIntervalRendersOnceAndWaits)
{
    const auto app = MakeApp(WorkingPerf);
    TMonitorOptions options;
    options.TemplateText = "still";
    options.IntervalMs = 0;
    asio::steady_timer stop(app->Io(), std::chrono::milliseconds(40));
    stop.async_wait([&](const std::error_code&) { app->Exit(0); });
    EXPECT_EQ(TConsoleMonitor(*app, options, Out, Err).Run(), 0);
    EXPECT_EQ(Out.str(), "still\n\n");
}

TEST_F(ConsoleMonitorTest, FailingCollectionWarnsAndExitsWithOne)
{
    struct TCase
    {
        const char* name;
        bool once;
        int failAfter;
    };
    const TCase cases[] = {
        {"first collection", false, 0},
        {"a later tick", false, 1},
        {"second collection of once", true, 1},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        Out.str("");
        Err.str("");
        const auto app = MakeApp([&](platform::FakePerfDataSource& perf) {
            // A good block for the first failAfter queries, then a malformed one.
            for (int i = 0; i < c.failAfter; ++i)
                perf.Push("2", platform::SystemBlock(50'000'000, 10'000'000, 10'000'000, 7, 3));
            perf.Push("2", {1, 2, 3});
        });
        TMonitorOptions options;
        options.TemplateText = "<NAME=Processes>";
        options.IntervalMs = 5;
        options.Once = c.once;
        EXPECT_EQ(TConsoleMonitor(*app, options, Out, Err).Run(), 1);
        EXPECT_EQ(Err.str(), std::string(PerfFailureText) + "\n");
        EXPECT_EQ(Out.str(), c.failAfter == 0 || c.once ? "" : "7\n\n");
    }
}

} // namespace
} // namespace statlume
