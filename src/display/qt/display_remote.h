#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "display/qt/prompts.h"
#include "display/qt/qt_socket_layer.h"
#include "record/raw_data_shell.h"
#include "remote/client_role.h"
#include "remote/remote_secret.h"
#include "remote/server_role.h"
#include "settings/settings_store.h"

namespace statlume {

class TStatlumeDisplay;

/// The port text of the Act as Server prompt as an integer; nullopt when it is none.
std::optional<long long> PortTextValue(const std::string& text);

/// The window's remote roles: the server behind "Act as Server", the client in client mode,
/// one password and cipher shared by both, wired into the window's start-up, tick, tray and
/// Exit command.
class TDisplayRemote
{
public:
    /// Attaches to the window's hooks before its FormCreate; window and prompts must outlive
    /// the roles.
    TDisplayRemote(TStatlumeDisplay& window, TPrompts& prompts);
    /// Stops both roles and detaches from the window.
    ~TDisplayRemote();
    TDisplayRemote(const TDisplayRemote&) = delete;
    TDisplayRemote& operator=(const TDisplayRemote&) = delete;

    /// The Act as Server command; the caller keeps the timer off meanwhile.
    void ActasServer1Click();

    /// The server role.
    TServerRole& Server() { return Serv; }
    /// The client role.
    TClientRole& Client() { return Cli; }
    /// The server's socket.
    TQtServerSocket& ServerSocket() { return ServSocket; }
    /// The password and the cipher of both roles.
    TRemoteSecret& Secret() { return SharedSecret; }

    /// The figures count as old once no record came for three intervals, or this long if
    /// that is longer.
    std::chrono::milliseconds OldAfterAtLeast{5000};
    /// Brings the tray's tooltip and the window's old-figures state up to date.
    void ShowStatus();

private:
    void ClientStart();
    void RoleStartup(const TStoredSettings& stored);
    std::optional<long long> AskPort();
    void TurnOff();
    void RemovePassword();
    void RecordsAccepted();
    void RecordsFailing(bool noneRead);

    TStatlumeDisplay& Window;
    TPrompts& Prompts;
    TRemoteSecret SharedSecret;
    TQtServerSocket ServSocket;
    TQtClientSocket CliSocket;
    TServerRole Serv;
    TClientRole Cli;
    /// Where a failed listen is told: a message box inside the command, stderr at start-up.
    bool InCommand = false;
    /// Every reply of the server fails the checks until a record is accepted.
    bool PasswordMismatch = false;
    /// When the last record came (or the client started), and its wall-clock time.
    std::chrono::steady_clock::time_point LastRecord = std::chrono::steady_clock::now();
    std::string LastRecordTime;
};

} // namespace statlume
