#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "base/locale_info.h"
#include "collect/sensor_step.h"
#include "collect/snapshot_collector.h"
#include "format/formatter.h"
#include "format/run.h"
#include "monitor/monitor.h"
#include "platform/perf_data_source.h"
#include "platform/system_roots.h"
#include "platform/system_status.h"
#include "record/raw_data_shell.h"

#include <asio.hpp>

namespace statlume {

/// The sources a console run collects from.
struct TConsoleSources
{
    std::unique_ptr<platform::PerfDataSource> Perf;
    std::unique_ptr<platform::SystemStatus> Status;
    std::unique_ptr<TSensorStep> Sensors;
    /// Load, disks, batteries and GPUs; none collects nothing of them.
    std::unique_ptr<platform::FigureSource> Figures;
};

/// Makes the sources of a run; the sensor starter's report is posted to the given loop.
using TSourceFactory = std::function<TConsoleSources(asio::io_context& loop)>;

/// The Linux sources, reading the machine through roots; in client mode the sensor starter is
/// never loaded.
TConsoleSources LinuxSources(asio::io_context& loop, bool clientMode,
                             const platform::TSystemRoots& roots = {});

/// The Linux sources: procfs, the status calls, the shared sensor block and its starter.
TConsoleSources LinuxConsoleSources(asio::io_context& loop);

/// The sources of a console client, which never collects: the sensor starter is never loaded.
TConsoleSources ClientConsoleSources(asio::io_context& loop);

/// The sources of a run that ends at once (--once): the sensors are read if published, but
/// the publisher, which outlives the program, is never started for it.
TConsoleSources ShortRunConsoleSources(asio::io_context& loop);

/// The console program's one run: event loop, snapshot, formatters, collection and the Exit
/// command, which SIGINT and SIGTERM run with status 0; SIGHUP runs OnReload when set, else
/// the Exit command too. Everything runs on the thread that calls Run; other threads only
/// post to it.
class TConsoleApp
{
public:
    /// Builds the formatters over locale (kept by reference) and the sources makeSources
    /// gives; out and err take the program's output.
    TConsoleApp(std::ostream& out, std::ostream& err, const LocaleInfo& locale,
                const TSourceFactory& makeSources = LinuxConsoleSources);
    ~TConsoleApp();
    TConsoleApp(const TConsoleApp&) = delete;
    TConsoleApp& operator=(const TConsoleApp&) = delete;

    /// Decides the Active flags from the whole template, keeps its lines and renders them once
    /// so that drive items register their letters; no collection.
    void SetLabels(std::string_view templateText);
    /// SetLabels, then the first, forced collection; false when that collection took the
    /// failure path.
    bool BuildLabels(std::string_view templateText);
    /// One collection (force: the slow host items now); false on the failure path.
    bool Collect(bool force);
    /// Every template line rendered from the snapshot, without line breaks.
    std::vector<std::string> RenderLines();
    /// Every template line rendered into runs; sample adds the snapshot's values to the graphs'
    /// histories (a new snapshot), otherwise they are only shown.
    std::vector<TRunLine> RenderRuns(bool sample);

    /// Calls onTick every intervalMs on the loop, on a steady schedule; 0 stops the ticks.
    void StartTimer(std::uint32_t intervalMs, std::function<void()> onTick);
    /// Runs the loop until the Exit command; returns the exit status it was given.
    int Run();
    /// The Exit command: stops the timer, runs OnExitCommand once, stops the sensor side and
    /// ends the loop with status. Later calls do nothing.
    void Exit(int status);
    /// True once the Exit command has run.
    bool Exiting() const { return ExitStatus.has_value(); }

    /// Run by the Exit command before the loop ends (saving the settings).
    std::function<void()> OnExitCommand;
    /// Run on SIGHUP (reading the settings again); unset, SIGHUP ends the run.
    std::function<void()> OnReload;
    /// Tells err what the last collection could not read, once for each problem, and once
    /// why GPUs show fewer figures; the run goes on with those figures showing no value.
    void ReportCollectionProblem();
    /// True while the sensor publisher is being started (or its start never reported).
    bool SensorStartPending() const;

    /// The snapshot holder.
    TRawDataShell& Shell() { return RawShell; }
    /// The formatters in registry order.
    const TFormatterList& FormatterList() const { return Formatters; }
    /// The collection state (exclusion, drive map, collect-all).
    TSnapshotCollector& Collector() { return *SnapshotCollector; }
    /// The event loop, for modes that add their own sockets or timers.
    asio::io_context& Io() { return Loop; }
    /// The output stream of the run.
    std::ostream& Output() { return Out; }
    /// The update interval the collection scales rates by, in milliseconds.
    std::uint32_t IntervalMs() const { return Interval; }

private:
    void ScheduleTick();
    void WaitForHangup();

    std::ostream& Out;
    std::ostream& Err;
    asio::io_context Loop;
    asio::steady_timer Timer;
    asio::signal_set Signals;
    asio::signal_set Hangup;
    const LocaleInfo& Locale;
    TRawDataShell RawShell;
    TFormatterList Formatters;
    TConsoleSources Sources;
    std::unique_ptr<TSnapshotCollector> SnapshotCollector;
    TMonitor Monitor;
    std::uint32_t Interval = 1000;
    std::function<void()> OnTick;
    asio::steady_timer::time_point NextTick;
    std::optional<int> ExitStatus;
    std::string ReportedProblem;
    bool GpuNoteReported = false;
};

} // namespace statlume
