#include "display/qt/update_timer.h"

namespace statlume {

TUpdateTimer::TUpdateTimer(QObject* owner)
    : Qt(new QTimer(owner))
{
    Qt->setObjectName(QStringLiteral("Timer1"));
    Qt->setInterval(IntervalMs);
}

void TUpdateTimer::SetEnabled(bool enabled)
{
    IsEnabled = enabled && !Retired;
    Apply();
}

void TUpdateTimer::SetInterval(int intervalMs)
{
    IntervalMs = intervalMs < 0 ? 0 : intervalMs;
    Apply();
}

void TUpdateTimer::Retire()
{
    Retired = true;
    SetEnabled(false);
}

void TUpdateTimer::Apply()
{
    if (IsEnabled && IntervalMs > 0) {
        Qt->start(IntervalMs);
    } else {
        Qt->stop();
    }
}

} // namespace statlume
