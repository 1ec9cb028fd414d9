#include "display/qt/display_remote.h"

#include <algorithm>
#include <charconv>

#include "display/qt/prompt_text.h"
#include "display/qt/statlume_display.h"
#include "display/serve_settings.h"
#include "display/tray_tooltip.h"
#include "remote/request_detection.h"

#include <QDateTime>

namespace statlume {

std::optional<long long> PortTextValue(const std::string& text)
{
    std::string digits = TrimPromptText(text);
    if (!digits.empty() && digits.front() == '+')
        digits.erase(0, 1);
    long long value = 0;
    const auto* end = digits.data() + digits.size();
    const auto [stop, error] = std::from_chars(digits.data(), end, value);
    if (digits.empty() || error != std::errc() || stop != end)
        return std::nullopt;
    return value;
}

TDisplayRemote::TDisplayRemote(TStatlumeDisplay& window, TPrompts& prompts)
    : Window(window)
    , Prompts(prompts)
    , Serv(ServSocket, window.Shell(), SharedSecret)
    , Cli(CliSocket, window.Shell(), SharedSecret)
{
    // One reply per request at most is read, so a server sending unasked is held back.
    CliSocket.SetReadAllowance(ClientReadSize);
    Serv.StoredPassword = [this]() -> std::optional<std::string> {
        TSettingsStore* store = Window.Settings();
        return store != nullptr ? store->ReadPassword() : std::nullopt;
    };
    Serv.OnFailure = [this](const std::string& message) {
        if (InCommand) {
            Prompts.ShowMessage(TMessageKind::Error, "", message);
        } else if (TSettingsStore* store = Window.Settings(); store && store->Reporter()) {
            store->Reporter()("cannot serve on port " + std::to_string(Serv.Port()) + ": " +
                              message + "; the server stays off.");
        }
    };
    Serv.OnAlert = [this](bool alert) {
        Window.ShowConnectionAlert(alert);
        ShowStatus();
    };
    // A connection made is no proof of a matching password: the alert stays until a record
    // passes the checks.
    Cli.OnAlert = [this](bool alert) { Window.ShowConnectionAlert(alert || PasswordMismatch); };
    Cli.OnRecordsAccepted = [this] { RecordsAccepted(); };
    Cli.OnRecordsFailing = [this](bool noneRead) { RecordsFailing(noneRead); };
    Window.OnTick = [this] { ShowStatus(); };
    // A slow look-up or connect is left to finish; the user learns why nothing shows yet.
    Cli.OnSlowAttempt = [this](TSocketOp step) {
        TSettingsStore* store = Window.Settings();
        if (store == nullptr || !store->Reporter())
            return;
        store->Reporter()((step == TSocketOp::Lookup ? "looking up " + Cli.Host()
                                                     : "connecting to " + Cli.Host() + " port " +
                                                           std::to_string(Cli.Port())) +
                          "\u2026");
    };
    // Ask at once, so the first figures show without waiting a whole interval.
    Cli.OnConnected = [this] { Cli.Tick(); };
    Window.OnClientStart = [this] { ClientStart(); };
    Window.OnRoleStartup = [this](const TStoredSettings& stored) { RoleStartup(stored); };
    Window.OnClientTick = [this] { Cli.Tick(); };
    // The server closes first, so no client is served from a window that is going.
    Window.OnExitCommand = [this] {
        Serv.Stop();
        Cli.Stop();
    };
}

TDisplayRemote::~TDisplayRemote()
{
    Window.OnTick = nullptr;
    Window.OnClientStart = nullptr;
    Window.OnRoleStartup = nullptr;
    Window.OnClientTick = nullptr;
    Window.OnExitCommand = nullptr;
}

void TDisplayRemote::RecordsAccepted()
{
    LastRecord = std::chrono::steady_clock::now();
    LastRecordTime = QTime::currentTime().toString(QStringLiteral("HH:mm:ss")).toStdString();
    if (PasswordMismatch) {
        PasswordMismatch = false;
        Window.ShowConnectionAlert(Cli.Alert());
    }
    ShowStatus();
}

void TDisplayRemote::RecordsFailing(bool noneRead)
{
    // Some records read right: the password matches, whatever spoils the others.
    if (noneRead) {
        PasswordMismatch = true;
        Window.ShowConnectionAlert(true);
    }
    if (TSettingsStore* store = Window.Settings(); store && store->Reporter()) {
        store->Reporter()("the records of " + Cli.Host() + ":" + std::to_string(Cli.Port()) +
                          (noneRead ? " fail the checks: the password does not match."
                                    : " fail the checks and are not shown."));
    }
    ShowStatus();
}

void TDisplayRemote::ShowStatus()
{
    TTrayStatus status;
    if (Window.Client().ClientMode) {
        status.ClientHost = Cli.Host();
        status.ClientPort = Cli.Port();
        status.PasswordMismatch = PasswordMismatch;
        const auto interval = std::chrono::milliseconds(Window.UpdateTimer().Interval());
        const bool old = !LastRecordTime.empty() && std::chrono::steady_clock::now() - LastRecord >=
                                                        std::max(3 * interval, OldAfterAtLeast);
        Window.ShowFiguresOld(old);
        if (old) {
            status.FiguresFrom = LastRecordTime;
        }
    }
    if (Serv.Listening()) {
        status.ServingPort = ServSocket.LocalPort() != 0 ? ServSocket.LocalPort() : Serv.Port();
        status.Connections = ServSocket.ConnectionCount();
    }
    const QString text = QString::fromStdString(TrayToolTip(status));
    Window.Tray().SetToolTip(text);
    // A client window looks like the local one: its tip names the peer, and a glance tells
    // why the figures look so. A window with no role has nothing to add.
    const bool told = !status.ClientHost.empty() || status.ServingPort > 0;
    // Every tick comes here: an unchanged tip must not send the window an event each time.
    if (const QString shown = told ? text : QString(); Window.toolTip() != shown) {
        Window.setToolTip(shown);
    }
}

void TDisplayRemote::ClientStart()
{
    const TClientSwitches& client = Window.Client();
    SharedSecret.Password = client.Password.value_or("");
    Cli.SetHost(client.Host);
    Cli.SetPort(client.Port);
    Cli.Start();
}

void TDisplayRemote::RoleStartup(const TStoredSettings& stored)
{
    // A "-d" password serves the server role too when none is stored.
    if (!Window.Client().ClientMode && Window.Client().Password)
        SharedSecret.Password = *Window.Client().Password;
    TServeSettings serve = ServeSettingsOf(stored);
    ServSocket.SetLimits(std::move(serve.Limits), std::move(serve.Problem));
    TServerStartup startup;
    startup.ClientMode = Window.Client().ClientMode;
    startup.StoredPort = stored.ServPort;
    startup.StoredServer = stored.Server;
    Serv.StartUp(startup);
    Window.Menu().ActasServer1->setChecked(Serv.Listening());
    ShowStatus();
}

std::optional<long long> TDisplayRemote::AskPort()
{
    std::string initial = std::to_string(Serv.Port());
    for (;;) {
        const auto text = Prompts.AskText(
            "Server Port", "Only display items extant at both sides will appear", initial);
        if (!text)
            return std::nullopt;
        const auto value = PortTextValue(*text);
        if (!value)
            return Serv.Port();
        if (IsValidPort(*value))
            return *value;
        // Asked again with the text as typed, so the user sees and mends it.
        Prompts.ShowMessage(TMessageKind::Error, "",
                            "Port " + std::to_string(*value) + " is no TCP port (1 to 65535).");
        initial = *text;
    }
}

void TDisplayRemote::TurnOff()
{
    Window.Menu().ActasServer1->setChecked(false);
    Serv.Stop();
    // An item left unchecked must not listen again at the next start.
    Window.Settings()->WriteServerOff();
    ShowStatus();
}

void TDisplayRemote::RemovePassword()
{
    Window.Settings()->Registry().DeleteValue("Password");
}

void TDisplayRemote::ActasServer1Click()
{
    TSettingsStore& store = *Window.Settings();
    if (!Window.Menu().ActasServer1->isChecked()) {
        TurnOff();
        return;
    }
    const auto port = AskPort();
    if (!port) {
        TurnOff();
        return;
    }
    if (auto stored = store.ReadPassword())
        SharedSecret.Password = std::move(*stored);
    const auto password =
        Prompts.AskText("Server Password", "Enter a string to encrypt the data, or blank for none",
                        SharedSecret.Password);
    SharedSecret.Password = password.value_or("");
    if (SharedSecret.Password.empty()) {
        RemovePassword();
    } else {
        switch (
            Prompts.AskYesNoCancel("", "Would you like to save this password for future use?")) {
        case TAnswer::Yes:
            store.WritePassword(SharedSecret.Password);
            break;
        case TAnswer::No:
            RemovePassword();
            break;
        case TAnswer::Cancel:
            TurnOff();
            return;
        }
    }
    Serv.Stop();
    Serv.SetPort(*port);
    InCommand = true;
    const bool listening = Serv.Start();
    InCommand = false;
    if (!listening) {
        TurnOff();
        return;
    }
    store.WriteServer(Serv.Port(), Window.Menu().ActasServer1->isChecked());
    ShowStatus();
}

} // namespace statlume
