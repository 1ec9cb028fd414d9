#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "cli/error_lines.h"
#include "remote/socket_layer.h"

#include <asio.hpp>

namespace statlume {

/// "HOST:PORT", with an IPv6 address in brackets ("[::1]:6130").
std::string ServerText(std::string_view host, int port);

/// "cannot reach TARGET: <reason>" for a failed look-up, connect, read or write, or a
/// connection the server closed; code is the system's error number.
std::string CannotReachText(std::string_view target, TSocketOp op, int code);

/// The console's stand-in for the alert icon: one line on the error stream each time the
/// alert state changes, none while it stays the same, at most one a second (changes that
/// come sooner are merged into the next line).
class TAlertLine
{
public:
    /// Writes to err, which must outlive the object (stderr without ever blocking); with io,
    /// a merged line is written by a timer once the second has passed. The state starts off.
    explicit TAlertLine(std::ostream& err, asio::io_context* io = nullptr);

    /// Sets the state; when it changed, writes "statlume-cli: <why>".
    void Set(bool alert, std::string_view why);
    /// The current state.
    bool Alert() const { return State; }
    /// The rate-limited lines behind the alert line.
    TErrorLines& Lines() { return Output; }

private:
    TErrorLines Output;
    bool State = false;
};

} // namespace statlume
