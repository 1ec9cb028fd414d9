#pragma once

#include <ostream>
#include <string_view>

namespace statlume {

/// The console's stand-in for the alert icon: one line on the error stream each time the
/// alert state changes, none while it stays the same.
class TAlertLine
{
public:
    /// Writes to err, which must outlive the object; the state starts off.
    explicit TAlertLine(std::ostream& err);

    /// Sets the state; when it changed, writes "statlume-cli: <why>; alert on" (or "off").
    void Set(bool alert, std::string_view why);
    /// The current state.
    bool Alert() const { return State; }

private:
    std::ostream& Err;
    bool State = false;
};

} // namespace statlume
