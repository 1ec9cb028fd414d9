#include "cli/console_server.h"

#include <utility>

namespace statlume {

TConsoleServer::TConsoleServer(asio::io_context& io, TRawDataShell& shell, TRemoteSecret& secret,
                               std::ostream& err, TServeLimits limits)
    : Socket(io)
    , Role(Socket, shell, secret)
    , AlertLine(err)
    , Err(err)
    , Limits(std::move(limits))
{
    Role.OnAlert = [this](bool alert) {
        AlertLine.Set(alert, alert ? "connection error" : "connected");
    };
    Role.OnFailure = [this](const std::string& message) {
        Err << "statlume-cli: cannot serve on port " << Role.Port() << ": " << message << '\n'
            << std::flush;
    };
}

bool TConsoleServer::Start(std::uint16_t port,
                           std::function<std::optional<std::string>()> storedPassword)
{
    Role.StoredPassword = std::move(storedPassword);
    if (!Role.SetPort(port)) {
        Err << "statlume-cli: port " << port << " is no TCP port (1 to 65535)\n" << std::flush;
        return false;
    }
    return Role.Start();
}

} // namespace statlume
