#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>

#include "cli/console_app.h"
#include "cli/record_file.h"
#include "cli/status_output.h"

namespace statlume {

/// How the console monitor runs.
struct TMonitorOptions
{
    /// The template the lines are rendered from.
    std::string TemplateText;
    /// Update interval in milliseconds; 0 = no ticks after the first render.
    std::uint32_t IntervalMs = 1000;
    /// Collect twice one interval apart, print once and end.
    bool Once = false;
    /// File that receives the record after each collection.
    std::optional<std::string> DumpRecordFile;
    /// Writes each render to the output; a headless server without --print still renders
    /// (drive items enter their letters that way) but prints nothing.
    bool Print = true;
    /// Run once after the first render, whose rates come from two samples (the server starts
    /// listening there, so no client is sent an empty record or a one-sample rate); false
    /// ends the run with 1.
    std::function<bool()> OnFirstRecord;
    /// How each render is written.
    TOutputFormat Output;
    /// Run after every collection that is rendered, the shell holding the new snapshot.
    std::function<void()> OnCollected;
};

/// The console monitor: prints the rendered template on every tick (or once) to out.
class TConsoleMonitor
{
public:
    /// Runs on app, which must outlive the monitor.
    TConsoleMonitor(TConsoleApp& app, TMonitorOptions options, std::ostream& out,
                    std::ostream& err);

    /// Builds the labels, runs until the Exit command and returns the exit status: 0, or 1
    /// when the record file could not be written. The first render waits for a second
    /// sample taken shortly after the first, so no rate comes from one sample.
    int Run();
    /// Renders templateText from now on and ticks every intervalMs from now; the next tick
    /// collects what the new template needs.
    void Reload(std::string_view templateText, std::uint32_t intervalMs);

private:
    void Publish(bool print, bool sample);
    void OnTick();
    void Update(bool mayWait = true);
    bool AwaitSecondSample();
    void FirstPublish(bool sample);
    void CheckSensors();

    TConsoleApp& App;
    TMonitorOptions Options;
    std::ostream& Out;
    std::ostream& Err;
    std::optional<TRecordDump> Dump;
    std::chrono::steady_clock::time_point Started;
    bool SensorsChecked = false;
    asio::steady_timer SecondSample;
    bool Sampling = false;
    bool FirstDone = false;
};

} // namespace statlume
