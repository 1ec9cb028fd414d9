#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>

#include "cli/asio_socket_layer.h"
#include "cli/error_lines.h"
#include "record/raw_data_shell.h"
#include "remote/remote_secret.h"
#include "remote/serve_limits.h"
#include "remote/server_role.h"

#include <asio.hpp>

namespace statlume {

/// The console program's server: the server role over an Asio server socket, answering from
/// the shell's record to the peers its limits allow, with connection errors and closed
/// connections written to the error stream at most once a second.
class TConsoleServer
{
public:
    /// Serves shell.Data with secret's password to the peers limits allows; io, shell, secret
    /// and err must outlive it.
    TConsoleServer(asio::io_context& io, TRawDataShell& shell, TRemoteSecret& secret,
                   std::ostream& err, TServeLimits limits = {});

    /// Listens on port (1..65535); storedPassword gives the stored "Password", which wins
    /// over the one in secret. False, with the reason on err, when listening fails. Warns once
    /// when serving without a password beyond loopback.
    bool Start(std::uint16_t port, std::function<std::optional<std::string>()> storedPassword);
    /// Stops listening and closes every connection.
    void Stop() { Role.Stop(); }
    /// Sets how long a connection may send nothing before it is closed (60 s by default).
    void SetIdleTimeout(std::chrono::milliseconds timeout);
    /// The port bound; 0 while not listening.
    std::uint16_t LocalPort() const { return Socket.LocalPort(); }
    /// Replies sent so far.
    std::size_t Replies() const { return Role.Replies(); }
    /// The socket's counters.
    const TServerSocketStats& Stats() const { return Socket.Stats(); }

private:
    std::string NoticeText(TConnectionNotice notice, const std::string& peer) const;

    TAsioServerSocket Socket;
    TServerRole Role;
    TRemoteSecret& Secret;
    std::function<void(std::string_view)> Sink;
    TErrorLines Lines;
    TServeLimits Limits;
    std::chrono::milliseconds IdleTimeout = DefaultIdleTimeout;
};

} // namespace statlume
