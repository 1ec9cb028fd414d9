#include "cli/console_monitor.h"

#include <algorithm>
#include <utility>

namespace statlume {

namespace {

// Longer than the sensor starter takes to launch the publisher or give up.
constexpr auto SensorStartWait = std::chrono::seconds(8);
// How soon after a first sample the second is taken, at most.
constexpr auto SecondSampleDelay = std::chrono::milliseconds(250);

bool HasSensorReadings(const TRawData& data)
{
    return std::any_of(std::begin(data.Temps), std::end(data.Temps),
                       [](auto value) { return value != 0; }) ||
           std::any_of(std::begin(data.Fans), std::end(data.Fans),
                       [](auto value) { return value != 0; });
}

} // namespace

TConsoleMonitor::TConsoleMonitor(TConsoleApp& app, TMonitorOptions options, std::ostream& out,
                                 std::ostream& err)
    : App(app)
    , Options(std::move(options))
    , Out(out)
    , Err(err)
    , SecondSample(app.Io())
{
    if (Options.DumpRecordFile)
        Dump.emplace(*Options.DumpRecordFile, err);
}

int TConsoleMonitor::Run()
{
    // The interval is set before the first collection so that its rates use the right scale.
    App.StartTimer(Options.IntervalMs, [this] { OnTick(); });
    Started = std::chrono::steady_clock::now();
    // Also on success: a collection that read everything may still have a note to give.
    App.BuildLabels(Options.TemplateText);
    App.ReportCollectionProblem();
    // Without rates (or with --once, whose render comes an interval later) the first pass
    // renders now; it is kept out of the graphs.
    if (!AwaitSecondSample())
        FirstPublish(false);
    return App.Run();
}

void TConsoleMonitor::OnTick()
{
    // A second sample is due sooner and renders in this tick's place.
    if (Sampling)
        return;
    Update();
}

void TConsoleMonitor::Update(bool mayWait)
{
    App.Collect(false);
    App.ReportCollectionProblem();
    if (mayWait && AwaitSecondSample())
        return;
    if (!FirstDone) {
        FirstPublish(true);
        return;
    }
    if (Options.OnCollected)
        Options.OnCollected();
    CheckSensors();
    Publish(true, true);
    if (Options.Once)
        App.Exit(0);
}

// A rate from one sample is never shown: a collection that left the rates waiting for a
// second sample takes it shortly after, not a whole interval later, and renders then.
bool TConsoleMonitor::AwaitSecondSample()
{
    if (Options.Once || !App.Collector().AwaitingSecondSample())
        return false;
    Sampling = true;
    const auto interval = std::chrono::milliseconds(Options.IntervalMs);
    const auto delay =
        Options.IntervalMs == 0 ? SecondSampleDelay : std::min(SecondSampleDelay, interval);
    SecondSample.expires_after(delay);
    SecondSample.async_wait([this](const std::error_code& error) {
        Sampling = false;
        // The second sample renders what it has: a figure that still lacks one (a clock that
        // stands still) would otherwise hold every update back for good.
        if (!error && !App.Exiting())
            Update(false);
    });
    return true;
}

void TConsoleMonitor::FirstPublish(bool sample)
{
    FirstDone = true;
    if (Options.OnCollected)
        Options.OnCollected();
    Publish(!Options.Once, sample);
    if (App.Exiting())
        return;
    if (Options.OnFirstRecord && !Options.OnFirstRecord()) {
        App.Exit(1);
        return;
    }
    if (Options.Once && Options.IntervalMs == 0)
        OnTick();
}

void TConsoleMonitor::Reload(std::string_view templateText, std::uint32_t intervalMs)
{
    Options.TemplateText = std::string(templateText);
    Options.IntervalMs = intervalMs;
    App.StartTimer(intervalMs, [this] { OnTick(); });
    App.SetLabels(templateText);
}

// Without a publisher or without hardware the sensor items show 0 (or 32 in Fahrenheit) as if
// measured; say so once, after the publisher's start has had its chance.
void TConsoleMonitor::CheckSensors()
{
    if (SensorsChecked)
        return;
    if (!FamilyOf(App.FormatterList(), TFamily::MBM).Active ||
        HasSensorReadings(App.Shell().Data)) {
        SensorsChecked = true;
        return;
    }
    if (!Options.Once && App.SensorStartPending() &&
        std::chrono::steady_clock::now() - Started < SensorStartWait)
        return;
    SensorsChecked = true;
    Err << "statlume-cli: no hardware sensors found; the template's temperature and fan items "
           "show 0\n"
        << std::flush;
}

// Rendered before the record is written out, so the dump holds the drive letters that the
// render entered, the same bytes a client is sent.
void TConsoleMonitor::Publish(bool print, bool sample)
{
    const std::string text = FormatUpdate(Options.Output, App.RenderRuns(sample), false);
    // The user asked for that file: a run that cannot write it has failed.
    if (Dump && !Dump->Write(EncodeRawData(App.Shell().Data))) {
        App.Exit(1);
        return;
    }
    if (!print || !Options.Print)
        return;
    Out.write(text.data(), static_cast<std::streamsize>(text.size()));
    Out.flush();
    // Whoever read the output has gone (a closed pipe): nothing left to do but end cleanly.
    if (!Out)
        App.Exit(0);
}

} // namespace statlume
