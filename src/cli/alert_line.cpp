#include "cli/alert_line.h"

#include <cerrno>
#include <system_error>

namespace statlume {

std::string ServerText(std::string_view host, int port)
{
    // Appended piece by piece: g++ 12 at -O3 warns falsely (restrict) on chained operator+.
    const bool bareIPv6 = host.find(':') != std::string_view::npos && !host.starts_with('[');
    std::string text;
    if (bareIPv6)
        text += '[';
    text += host;
    if (bareIPv6)
        text += ']';
    text += ':';
    text += std::to_string(port);
    return text;
}

std::string CannotReachText(std::string_view target, TSocketOp op, int code)
{
    std::string reason;
    switch (op) {
    case TSocketOp::Lookup:
        // Resolver codes are not system error numbers; their text would mislead.
        reason = code == ETIMEDOUT
                     ? "the look-up took more than " + std::to_string(LookupTimeout.count()) + " s"
                     : "the name cannot be looked up";
        break;
    case TSocketOp::Disconnect:
        reason = "the server closed the connection";
        break;
    default:
        reason = std::system_category().message(code);
        break;
    }
    std::string text = "cannot reach ";
    text += target;
    text += ": ";
    text += reason;
    return text;
}

TAlertLine::TAlertLine(std::ostream& err, asio::io_context* io)
    : Output(ErrorSinkFor(err), io)
{
}

void TAlertLine::Set(bool alert, std::string_view why)
{
    if (alert == State)
        return;
    State = alert;
    Output.Post("statlume-cli: " + std::string(why));
}

} // namespace statlume
