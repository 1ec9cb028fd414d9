#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "cli/console_monitor.h"
#include "format/template_cap.h"
#include "platform/fake/fake_figure_source.h"
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
            std::optional<platform::TSensorWords> sensorWords = std::nullopt,
            std::string gpuNote = "")
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
            auto figures = std::make_unique<platform::TFakeFigureSource>();
            figures->GpuNoteText = gpuNote;
            sources.Figures = std::move(figures);
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

// Ends the run once out holds count renders (or after a bound that only catches a hang).
void ExitAfterRenders(TConsoleApp& app, asio::steady_timer& check, const std::ostringstream& out,
                      std::size_t count)
{
    const auto bound = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    check.expires_after(std::chrono::milliseconds(1));
    check.async_wait([&app, &check, &out, count, bound](const std::error_code& error) {
        if (error)
            return;
        std::size_t renders = 0;
        for (std::size_t pos = out.str().find("\n\n"); pos != std::string::npos;
             pos = out.str().find("\n\n", pos + 2))
            ++renders;
        if (renders >= count || std::chrono::steady_clock::now() > bound)
            app.Exit(0);
        else
            ExitAfterRenders(app, check, out, count);
    });
}

TEST_F(ConsoleMonitorTest, FailingCollectionWarnsOnceAndGoesOn)
{
    struct TCase
    {
        const char* name;
        bool once;
        int failAfter;
        const char* out;
    };
    const TCase cases[] = {
        {"first collection", false, 0, "\n\n\n\n"},
        {"a later tick", false, 1, "7\n\n\n\n"},
        {"second collection of once", true, 1, "\n\n"},
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
        asio::steady_timer check(app->Io());
        ExitAfterRenders(*app, check, Out, 3);
        EXPECT_EQ(TConsoleMonitor(*app, options, Out, Err).Run(), 0);
        EXPECT_EQ(Err.str().find("statlume-cli: The uptime, process and thread figures show no "
                                 "value: the data read for them was malformed"),
                  0u);
        EXPECT_EQ(Err.str().find('\n'), Err.str().size() - 1);
        EXPECT_EQ(Out.str().substr(0, std::string(c.out).size()), c.out);
    }
}

// The note holds for the whole run, so it is said once, though every collection succeeds.
TEST_F(ConsoleMonitorTest, SaysOnceWhyGpusShowFewerFigures)
{
    const auto app = MakeApp(WorkingPerf, platform::TFakeLibraryKind::Missing, std::nullopt,
                             "NVIDIA figures need libnvidia-ml.so.1, which cannot be loaded");
    TMonitorOptions options;
    options.TemplateText = "<NAME=GPUName>";
    options.IntervalMs = 5;
    asio::steady_timer check(app->Io());
    ExitAfterRenders(*app, check, Out, 3);
    EXPECT_EQ(TConsoleMonitor(*app, options, Out, Err).Run(), 0);
    EXPECT_EQ(Err.str(),
              "statlume-cli: NVIDIA figures need libnvidia-ml.so.1, which cannot be loaded\n");
}

// The first render comes from a second sample taken shortly after the first, never from
// counters since boot, and well before a whole interval.
TEST_F(ConsoleMonitorTest, FirstRenderWaitsForASecondSample)
{
    struct TCase
    {
        const char* name;
        const char* templateText;
    };
    const TCase cases[] = {
        {"processor", "<NAME=ProcUsage>"},
        {"network", "<NAME=NetRead>"},
    };
    constexpr std::int64_t Second = 10'000'000;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        Out.str("");
        const auto app = MakeApp([&](platform::FakePerfDataSource& perf) {
            // Since boot the processor was 90 % busy and 1 GiB came in; since then nothing.
            perf.Push("238", platform::ProcessorBlock(100 * Second, {{"_Total", 10 * Second}}));
            perf.Push("238", platform::ProcessorBlock(101 * Second, {{"_Total", 11 * Second}}));
            perf.Push("638", platform::NetworkBlock({{"eth0", 1u << 30, 0}}));
        });
        TMonitorOptions options;
        options.TemplateText = c.templateText;
        options.IntervalMs = 5000;
        asio::steady_timer check(app->Io());
        ExitAfterRenders(*app, check, Out, 1);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(TConsoleMonitor(*app, options, Out, Err).Run(), 0);
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(Out.str(), "0\n\n");
        EXPECT_GE(took, std::chrono::milliseconds(250));
        EXPECT_LT(took, std::chrono::milliseconds(5000));
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
