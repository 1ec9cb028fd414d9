#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>

#include "cli/alert_line.h"
#include "cli/asio_socket_layer.h"
#include "cli/serve_limits.h"
#include "collect/raw_data_shell.h"
#include "remote/remote_secret.h"
#include "remote/server_role.h"

#include <asio.hpp>

namespace statlume {

/// The console program's server: the server role over an Asio server socket, answering from
/// the shell's record, with alert changes written to the error stream.
class TConsoleServer
{
public:
    /// Serves shell.Data with secret's password to the peers limits allows; io, shell, secret
    /// and err must outlive it.
    TConsoleServer(asio::io_context& io, TRawDataShell& shell, TRemoteSecret& secret,
                   std::ostream& err, TServeLimits limits = {});

    /// Listens on port (1..65535); storedPassword gives the stored "Password", which wins
    /// over the one in secret. False, with the reason on err, when listening fails.
    bool Start(std::uint16_t port, std::function<std::optional<std::string>()> storedPassword);
    /// Stops listening and closes every connection.
    void Stop() { Role.Stop(); }
    /// The port bound; 0 while not listening.
    std::uint16_t LocalPort() const { return Socket.LocalPort(); }
    /// Replies sent so far.
    std::size_t Replies() const { return Role.Replies(); }

private:
    TAsioServerSocket Socket;
    TServerRole Role;
    TAlertLine AlertLine;
    std::ostream& Err;
    TServeLimits Limits;
};

} // namespace statlume
