#include "cli/console_server.h"

#include <system_error>
#include <utility>

namespace statlume {

namespace {

std::string DurationText(std::chrono::milliseconds span)
{
    if (span.count() % 1000 == 0)
        return std::to_string(span.count() / 1000) + " s";
    return std::to_string(span.count()) + " ms";
}

} // namespace

TConsoleServer::TConsoleServer(asio::io_context& io, TRawDataShell& shell, TRemoteSecret& secret,
                               std::ostream& err, TServeLimits limits)
    : Socket(io)
    , Role(Socket, shell, secret)
    , Secret(secret)
    , Sink(ErrorSinkFor(err))
    , Lines(Sink, &io)
    , Limits(std::move(limits))
{
    Socket.SetLimits(Limits);
    Socket.OnNotice = [this](TConnectionNotice notice, const std::string& peer) {
        Lines.Post(NoticeText(notice, peer));
    };
    Role.OnConnectionError = [this](TSocketConnection& connection, TSocketOp op, int code) {
        Lines.Post("statlume-cli: connection from " + connection.PeerText() + " failed (" +
                   std::string(SocketOpName(op)) + "): " + std::system_category().message(code));
    };
    Role.OnFailure = [this](const std::string& message) {
        Sink("statlume-cli: cannot serve on port " + std::to_string(Role.Port()) + ": " + message +
             "\n");
    };
}

void TConsoleServer::SetIdleTimeout(std::chrono::milliseconds timeout)
{
    IdleTimeout = timeout;
    Socket.SetIdleTimeout(timeout);
}

bool TConsoleServer::Start(std::uint16_t port,
                           std::function<std::optional<std::string>()> storedPassword)
{
    Role.StoredPassword = std::move(storedPassword);
    if (!Role.SetPort(port)) {
        Sink("statlume-cli: port " + std::to_string(port) + " is no TCP port (1 to 65535)\n");
        return false;
    }
    if (!Role.Start())
        return false;
    // The password is final once listening started (a stored one was loaded then).
    if (Secret.Password.empty() && !Socket.LoopbackOnly()) {
        const std::string where = Limits.BindAddress.empty() ? "every address" : Limits.BindAddress;
        Sink("statlume-cli: serving on " + where +
             " without a password: records are sent in clear text; set a password\n");
    }
    return true;
}

std::string TConsoleServer::NoticeText(TConnectionNotice notice, const std::string& peer) const
{
    switch (notice) {
    case TConnectionNotice::Refused:
        return "statlume-cli: refused connection from " + peer + ": not in the allowed ranges";
    case TConnectionNotice::TimedOut:
        return "statlume-cli: closed connection from " + peer + ": nothing received for " +
               DurationText(IdleTimeout);
    case TConnectionNotice::Evicted:
        return "statlume-cli: closed connection from " + peer +
               ", the longest idle of its address, to admit a new one (" +
               std::to_string(std::max<std::size_t>(Limits.MaxClients, 1)) + " connections and " +
               std::to_string(std::max<std::size_t>(Limits.MaxPerAddress, 1)) +
               " per address at most, or out of descriptors)";
    case TConnectionNotice::Rejected:
        return "statlume-cli: refused connection from " + peer + ": out of descriptors";
    }
    return "statlume-cli: closed connection from " + peer;
}

} // namespace statlume
