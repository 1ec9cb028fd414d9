#include "cli/console_app.h"

#include <csignal>
#include <utility>

#include "base/printable_text.h"
#include "platform/linux/dl_sensor_starter.h"
#include "platform/linux/linux_figure_source.h"
#include "platform/linux/linux_system_status.h"
#include "platform/linux/proc_perf_data_source.h"
#include "platform/linux/shm_sensor_block.h"

namespace statlume {

TConsoleSources LinuxSources(asio::io_context& loop, bool clientMode,
                             const platform::TSystemRoots& roots)
{
    TConsoleSources sources;
    sources.Perf = std::make_unique<platform::TProcPerfDataSource>(roots.Procfs);
    sources.Status = std::make_unique<platform::TLinuxSystemStatus>(roots);
    sources.Figures = std::make_unique<platform::TLinuxFigureSource>(roots);
    sources.Sensors = std::make_unique<TSensorStep>(
        std::make_unique<platform::TShmSensorBlock>(),
        std::make_unique<platform::TDlSensorStarter>(),
        [&loop](std::function<void()> report) { asio::post(loop, std::move(report)); }, clientMode);
    return sources;
}

TConsoleSources LinuxConsoleSources(asio::io_context& loop)
{
    return LinuxSources(loop, false);
}

TConsoleSources ClientConsoleSources(asio::io_context& loop)
{
    return LinuxSources(loop, true);
}

TConsoleSources ShortRunConsoleSources(asio::io_context& loop)
{
    return LinuxSources(loop, true);
}

TConsoleApp::TConsoleApp(std::ostream& out, std::ostream& err, const LocaleInfo& locale,
                         const TSourceFactory& makeSources)
    : Out(out)
    , Err(err)
    , Timer(Loop)
    , Signals(Loop, SIGINT, SIGTERM)
    , Hangup(Loop, SIGHUP)
    , Locale(locale)
    , Formatters(CreateFormatters(RawShell, Locale))
    , Sources(makeSources(Loop))
    , SnapshotCollector(
          std::make_unique<TSnapshotCollector>(*Sources.Perf, *Sources.Status, *Sources.Sensors))
    , Monitor(Formatters)
{
    if (Sources.Figures)
        SnapshotCollector->SetFigureSource(*Sources.Figures);
    Signals.async_wait([this](const std::error_code& error, int) {
        if (!error)
            Exit(0);
    });
    WaitForHangup();
}

void TConsoleApp::WaitForHangup()
{
    Hangup.async_wait([this](const std::error_code& error, int) {
        if (error || ExitStatus)
            return;
        if (!OnReload) {
            Exit(0);
            return;
        }
        OnReload();
        WaitForHangup();
    });
}

TConsoleApp::~TConsoleApp()
{
    // The sensor starter may still post to the loop; it must be gone before the loop is.
    Sources.Sensors->Shutdown();
}

void TConsoleApp::SetLabels(std::string_view templateText)
{
    // Each line is printed on every tick: a huge template is cut as the window cuts it.
    if (const std::string cut = Monitor.SetTemplate(templateText); !cut.empty())
        Err << "statlume-cli: " << cut << '\n' << std::flush;
}

bool TConsoleApp::BuildLabels(std::string_view templateText)
{
    SetLabels(templateText);
    return Collect(true);
}

bool TConsoleApp::Collect(bool force)
{
    return Monitor.Collect(*SnapshotCollector, force, Interval);
}

std::vector<std::string> TConsoleApp::RenderLines()
{
    return Monitor.RenderTexts();
}

std::vector<TRunLine> TConsoleApp::RenderRuns(bool sample)
{
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return Monitor.RenderAll(std::chrono::duration_cast<std::chrono::milliseconds>(now).count(),
                             sample);
}

void TConsoleApp::StartTimer(std::uint32_t intervalMs, std::function<void()> onTick)
{
    Interval = intervalMs;
    OnTick = std::move(onTick);
    Timer.cancel();
    if (Interval == 0 || ExitStatus)
        return;
    NextTick = asio::steady_timer::clock_type::now() + std::chrono::milliseconds(Interval);
    ScheduleTick();
}

void TConsoleApp::ScheduleTick()
{
    Timer.expires_at(NextTick);
    Timer.async_wait([this](const std::error_code& error) {
        if (error || ExitStatus)
            return;
        // Keep the schedule steady; after a stall, start again from now instead of catching up.
        const auto now = asio::steady_timer::clock_type::now();
        NextTick += std::chrono::milliseconds(Interval);
        if (NextTick <= now)
            NextTick = now + std::chrono::milliseconds(Interval);
        ScheduleTick();
        OnTick();
    });
}

int TConsoleApp::Run()
{
    if (!ExitStatus)
        Loop.run();
    return ExitStatus.value_or(0);
}

void TConsoleApp::Exit(int status)
{
    if (ExitStatus)
        return;
    ExitStatus = status;
    Timer.cancel();
    Signals.cancel();
    Hangup.cancel();
    if (OnExitCommand)
        OnExitCommand();
    Sources.Sensors->Shutdown();
    Loop.stop();
}

bool TConsoleApp::SensorStartPending() const
{
    return Sources.Sensors->StartPending();
}

void TConsoleApp::ReportCollectionProblem()
{
    // Said once: it holds for the whole run.
    if (Sources.Figures && !GpuNoteReported) {
        const std::string note = Sources.Figures->GpuNote();
        GpuNoteReported = !note.empty();
        if (GpuNoteReported)
            Err << "statlume-cli: " << PrintableText(note) << '\n' << std::flush;
    }
    const std::string& problem = SnapshotCollector->CollectionProblem();
    if (problem.empty() || problem == ReportedProblem)
        return;
    ReportedProblem = problem;
    Err << "statlume-cli: " << PrintableText(problem) << '\n' << std::flush;
}

} // namespace statlume
