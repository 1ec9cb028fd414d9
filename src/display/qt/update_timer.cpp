#include "display/qt/update_timer.h"

namespace statlume {

TUpdateTimer::TUpdateTimer(QObject* owner)
    : Ticker(new QTimer(owner))
{
    Ticker->setObjectName(QStringLiteral("Timer1"));
    Ticker->setInterval(IntervalMs);
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
        Ticker->start(IntervalMs);
    } else {
        Ticker->stop();
    }
}

} // namespace statlume
