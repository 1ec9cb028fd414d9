#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "cli/console_monitor.h"
#include "format/template_cap.h"
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
    MakeApp(std::function<void(platform::FakePerfDataSource&)> perfSetup,
            platform::TFakeLibraryKind library = platform::TFakeLibraryKind::Missing,
            std::optional<platform::TSensorWords> sensorWords = std::nullopt)
    {
        return std::make_unique<TConsoleApp>(Out, Err, Locale, [&](asio::io_context& loop) {
            auto perf = std::make_unique<platform::FakePerfDataSource>();
            perfSetup(*perf);
            auto status = std::make_unique<platform::FakeSystemStatus>();
            status->Computer = "fake-host";
            TConsoleSources sources;
            sources.Perf = std::move(perf);
            sources.Status = std::move(status);
            auto block = std::make_unique<platform::TFakeSensorBlock>();
            block->Words = sensorWords;
            sources.Sensors = std::make_unique<TSensorStep>(
                std::move(block),
                std::make_unique<platform::TFakeSensorStarter>(
                    library, std::make_shared<platform::TFakeStarterLog>()),
                [&loop](std::function<void()> report) { asio::post(loop, std::move(report)); },
                false);
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

TEST_F(ConsoleMonitorTest, HugeTemplateIsCutAsTheWindowCutsIt)
{
    const auto app = MakeApp(WorkingPerf);
    TMonitorOptions options;
    for (int i = 0; i < 3000; ++i)
        options.TemplateText += "P <NAME=Processes>\r\n";
    options.IntervalMs = 0;
    options.Once = true;
    EXPECT_EQ(TConsoleMonitor(*app, options, Out, Err).Run(), 0);
    const std::string out = Out.str();
    EXPECT_EQ(static_cast<std::size_t>(std::count(out.begin(), out.end(), '\n')),
              MaxTemplateLines + 1);
    EXPECT_EQ(Err.str(),
              "statlume-cli: " + TemplateCapMessage(CapTemplate(options.TemplateText)) + "\n");
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

TEST_F(ConsoleMonitorTest, SaysOnceWhenTheTemplatesSensorItemsHaveNoSensors)
{
    platform::TSensorWords readings;
    readings.Temps[0] = 41;
    struct TCase
    {
        const char* name;
        bool once;
        platform::TFakeLibraryKind library;
        std::optional<platform::TSensorWords> words;
        const char* templateText;
        bool hint;
    };
    using platform::TFakeLibraryKind;
    const TCase cases[] = {
        {"once, no block", true, TFakeLibraryKind::Missing, std::nullopt, "<NAME=Temp1>", true},
        {"once, readings", true, TFakeLibraryKind::Missing, readings, "<NAME=Temp1>", false},
        {"once, no sensor item", true, TFakeLibraryKind::Missing, std::nullopt, "x", false},
        {"publisher up, nothing found", false, TFakeLibraryKind::WithStart,
         platform::TSensorWords{}, "<NAME=Fan2>", true},
        {"publisher up, readings", false, TFakeLibraryKind::WithStart, readings, "<NAME=Fan2>",
         false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        Err.str("");
        const auto app = MakeApp(WorkingPerf, c.library, c.words);
        TMonitorOptions options;
        options.TemplateText = c.templateText;
        options.IntervalMs = 10;
        options.Once = c.once;
        asio::steady_timer stop(app->Io(), std::chrono::milliseconds(300));
        stop.async_wait([&](const std::error_code&) { app->Exit(0); });
        EXPECT_EQ(TConsoleMonitor(*app, options, Out, Err).Run(), 0);
        const std::string hint = "no hardware sensors found";
        const std::string err = Err.str();
        EXPECT_EQ(err.find(hint) != std::string::npos, c.hint) << err;
        EXPECT_EQ(err.find(hint), err.rfind(hint)) << err;
    }
}

} // namespace
} // namespace statlume
