#include "cli/console_client.h"

#include <algorithm>
#include <system_error>
#include <utility>

namespace statlume {

std::chrono::milliseconds OnceDeadline(std::uint32_t intervalMs)
{
    return std::max(std::chrono::milliseconds(5000),
                    std::chrono::milliseconds(std::uint64_t{intervalMs} * 5));
}

TConsoleClient::TConsoleClient(TConsoleApp& app, TRemoteSecret& secret, TClientOptions options,
                               std::ostream& out, std::ostream& err)
    : App(app)
    , Options(std::move(options))
    , Out(out)
    , Err(err)
    , Socket(app.Io())
    , Role(Socket, app.Shell(), secret)
    , AlertLine(err, &app.Io())
    , Deadline(app.Io())
{
    if (Options.DumpRecordFile)
        Dump.emplace(*Options.DumpRecordFile, err);
    Role.SetHost(Options.Host);
    Role.SetPort(Options.Port);
    Role.OnSocketError = [this](TSocketOp op, int code) { OnSocketError(op, code); };
    Role.OnAlert = [this](bool alert) {
        AlertLine.Set(alert, alert ? LastError : "connected to " + Target());
    };
    // Ask at once instead of a whole interval later, so the first figures show without delay.
    Role.OnConnected = [this] { Role.Tick(); };
}

int TConsoleClient::Run()
{
    App.SetLabels(Options.TemplateText);
    App.Shell().OnData = [this] { OnRecord(); };
    App.StartTimer(Options.IntervalMs, [this] { Role.Tick(); });
    Role.Start();
    if (Options.Once) {
        const auto wait = OnceDeadline(Options.IntervalMs);
        Deadline.expires_after(wait);
        Deadline.async_wait([this, wait](const std::error_code& error) {
            if (error || App.Exiting())
                return;
            Err << "statlume-cli: no record from " << Target() << " within " << wait.count()
                << " ms" << (LastError.empty() ? "" : " (" + LastError + ")") << '\n'
                << std::flush;
            App.Exit(1);
        });
    }
    const int status = App.Run();
    Deadline.cancel();
    Role.Stop();
    App.Shell().OnData = nullptr;
    return status;
}

void TConsoleClient::OnRecord()
{
    if (App.Exiting())
        return;
    const std::string text = App.RenderLabels();
    if (Dump)
        Dump->Write(EncodeRawData(App.Shell().Data));
    Out.write(text.data(), static_cast<std::streamsize>(text.size()));
    Out.flush();
    // A closed output pipe or a single record asked for: the run is over.
    if (!Out || Options.Once)
        App.Exit(0);
}

void TConsoleClient::OnSocketError(TSocketOp op, int code)
{
    LastError = CannotReachText(Target(), op, code);
}

std::string TConsoleClient::Target() const
{
    return ServerText(Options.Host, Options.Port);
}

} // namespace statlume
