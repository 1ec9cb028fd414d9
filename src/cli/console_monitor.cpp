#include "cli/console_monitor.h"

#include <utility>

namespace statlume {

TConsoleMonitor::TConsoleMonitor(TConsoleApp& app, TMonitorOptions options, std::ostream& out,
                                 std::ostream& err)
    : App(app)
    , Options(std::move(options))
    , Out(out)
{
    if (Options.DumpRecordFile)
        Dump.emplace(*Options.DumpRecordFile, err);
}

int TConsoleMonitor::Run()
{
    // The interval is set before the first collection so that its rates use the right scale.
    App.StartTimer(Options.IntervalMs, [this] { OnTick(); });
    if (!App.BuildLabels(Options.TemplateText)) {
        App.ExitOnCollectionFailure();
        return App.Run();
    }
    Publish(!Options.Once);
    if (Options.OnFirstRecord && !Options.OnFirstRecord()) {
        App.Exit(1);
        return App.Run();
    }
    if (Options.Once && Options.IntervalMs == 0)
        OnTick();
    return App.Run();
}

void TConsoleMonitor::OnTick()
{
    if (!App.Collect(false)) {
        App.ExitOnCollectionFailure();
        return;
    }
    Publish(true);
    if (Options.Once)
        App.Exit(0);
}

// Rendered before the record is written out, so the dump holds the drive letters that the
// render entered, the same bytes a client is sent.
void TConsoleMonitor::Publish(bool print)
{
    const std::string text = App.RenderLabels();
    if (Dump)
        Dump->Write(EncodeRawData(App.Shell().Data));
    if (!print || !Options.Print)
        return;
    Out.write(text.data(), static_cast<std::streamsize>(text.size()));
    Out.flush();
    // Whoever read the output has gone (a closed pipe): nothing left to do but end cleanly.
    if (!Out)
        App.Exit(0);
}

} // namespace statlume
