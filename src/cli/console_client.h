#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>

#include "cli/alert_line.h"
#include "cli/asio_socket_layer.h"
#include "cli/console_app.h"
#include "cli/record_file.h"
#include "cli/status_output.h"
#include "remote/client_role.h"
#include "remote/remote_secret.h"
#include "settings/command_line.h"

namespace statlume {

/// How the console client runs.
struct TClientOptions
{
    /// The server's host: a name or a dotted address.
    std::string Host;
    /// The server's port.
    std::uint16_t Port = DefaultServerPort;
    /// The client's own template.
    std::string TemplateText;
    /// Poll interval in milliseconds; 0 polls only when a connection is made.
    std::uint32_t IntervalMs = 2000;
    /// Print the first record received and end.
    bool Once = false;
    /// File that receives each record received.
    std::optional<std::string> DumpRecordFile;
    /// Write the renders (--metrics alone does not).
    bool Print = true;
    /// How each render is written.
    TOutputFormat Output;
    /// Run after each record shown (true) and when the server stops or starts answering.
    std::function<void(bool up)> OnUpdate;
};

/// The longest a client run with --once waits for a record: five intervals, at least 5 s.
std::chrono::milliseconds OnceDeadline(std::uint32_t intervalMs);

/// The console client: polls a server on every tick and prints the latest record received,
/// rendered through its own template, at most once a tick. It never collects locally.
class TConsoleClient
{
public:
    /// Runs on app (whose shell receives the records) with secret's password; app, secret,
    /// out and err must outlive the client.
    TConsoleClient(TConsoleApp& app, TRemoteSecret& secret, TClientOptions options,
                   std::ostream& out, std::ostream& err);

    /// Starts polling and runs until the Exit command; returns the exit status: 0, or 1 when
    /// --once got no record in time or the record file could not be written.
    int Run();
    /// Renders templateText from now on and polls every intervalMs from now.
    void Reload(std::string_view templateText, std::uint32_t intervalMs);

private:
    void OnRecord();
    void OnTick();
    void Show();
    void Write(const std::string& text);
    void OnSocketError(TSocketOp op, int code);
    std::string Target() const;

    TConsoleApp& App;
    TClientOptions Options;
    std::ostream& Out;
    std::ostream& Err;
    TAsioClientSocket Socket;
    TClientRole Role;
    TAlertLine AlertLine;
    asio::steady_timer Deadline;
    std::string LastError;
    std::optional<TRecordDump> Dump;
    bool ShownThisTick = false;
    bool RecordWaiting = false;
};

} // namespace statlume
