#include "cli/alert_line.h"

namespace statlume {

TAlertLine::TAlertLine(std::ostream& err)
    : Err(err)
{
}

void TAlertLine::Set(bool alert, std::string_view why)
{
    if (alert == State)
        return;
    State = alert;
    Err << "statlume-cli: " << why << (alert ? "; alert on" : "; alert off") << '\n' << std::flush;
}

} // namespace statlume
