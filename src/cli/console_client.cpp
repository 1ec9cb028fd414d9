#include "cli/console_client.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "remote/request_detection.h"

namespace statlume {

namespace {

// Read per request: a reply (272 bytes) wherever the stream stands, room for the framing to
// find the next marker, and replies a slow server still owes. More than that is a peer sending
// unasked, which the kernel then holds back.
constexpr std::size_t ReadAllowancePerRequest = ClientReadSize;

} // namespace

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
    Socket.SetReadAllowance(ReadAllowancePerRequest);
    Role.SetHost(Options.Host);
    Role.SetPort(Options.Port);
    Role.OnSocketError = [this](TSocketOp op, int code) { OnSocketError(op, code); };
    Role.OnAlert = [this](bool alert) {
        AlertLine.Set(alert, alert ? LastError : "connected to " + Target());
        if (Options.OnUpdate)
            Options.OnUpdate(!alert);
        // A status bar learns of the alert from the next line it reads; before the first
        // record there are no figures to show, only zeros and a date of 1899.
        if (alert && Options.Output.Style == TOutputStyle::Json) {
            Write(App.Shell().Data.Marker == 'T'
                      ? FormatUpdate(Options.Output, App.RenderRuns(false), true)
                      : NoRecordUpdate(Options.Output, LastError));
        }
    };
    // A slow look-up or connect is left to finish; the user learns why nothing shows yet.
    Role.OnSlowAttempt = [this](TSocketOp step) {
        Err << "statlume-cli: "
            << (step == TSocketOp::Lookup ? "looking up " + Options.Host
                                          : "connecting to " + Target())
            << "\u2026\n"
            << std::flush;
    };
    // Ask at once instead of a whole interval later, so the first figures show without delay.
    Role.OnConnected = [this] { Role.Tick(); };
    // Dropped records show nothing; without this line a wrong password would look like silence.
    Role.OnRecordsFailing = [this](bool noneRead) {
        // Some records read right: the password matches, whatever spoils the others.
        Err << "statlume-cli: records from " << Target() << " fail the checks"
            << (noneRead ? ": wrong password?\n" : " and are not shown\n") << std::flush;
        if (Options.Once)
            App.Exit(1);
    };
}

int TConsoleClient::Run()
{
    App.SetLabels(Options.TemplateText);
    App.Shell().OnData = [this] { OnRecord(); };
    App.StartTimer(Options.IntervalMs, [this] { OnTick(); });
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

// A server may send records faster than asked: the first of a tick is shown at once, later
// ones only mark the shell's (latest) record for the next tick, so a flooding peer costs one
// render and one dump a tick.
void TConsoleClient::OnRecord()
{
    if (App.Exiting())
        return;
    if (ShownThisTick) {
        RecordWaiting = true;
        return;
    }
    Show();
}

void TConsoleClient::OnTick()
{
    ShownThisTick = false;
    if (RecordWaiting)
        Show();
    if (!App.Exiting())
        Role.Tick();
}

void TConsoleClient::Show()
{
    ShownThisTick = true;
    RecordWaiting = false;
    const std::string text = FormatUpdate(Options.Output, App.RenderRuns(true), AlertLine.Alert());
    // The user asked for that file: a run that cannot write it has failed.
    if (Dump && !Dump->Write(EncodeRawData(App.Shell().Data))) {
        App.Exit(1);
        return;
    }
    if (Options.OnUpdate)
        Options.OnUpdate(true);
    Write(text);
    // A single record asked for: the run is over.
    if (Options.Once)
        App.Exit(0);
}

void TConsoleClient::Write(const std::string& text)
{
    if (!Options.Print || App.Exiting())
        return;
    Out.write(text.data(), static_cast<std::streamsize>(text.size()));
    Out.flush();
    // Whoever read the output has gone (a closed pipe): the run is over.
    if (!Out)
        App.Exit(0);
}

void TConsoleClient::Reload(std::string_view templateText, std::uint32_t intervalMs)
{
    Options.TemplateText = std::string(templateText);
    Options.IntervalMs = intervalMs;
    App.SetLabels(templateText);
    App.StartTimer(intervalMs, [this] { OnTick(); });
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
