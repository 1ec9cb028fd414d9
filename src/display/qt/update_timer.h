#pragma once

#include <QObject>
#include <QTimer>

namespace statlume {

/// The update timer `Timer1` with the toolkit timer's rules: it runs only while enabled and
/// its interval is above 0 (interval 0 stops the updates instead of firing on every idle).
class TUpdateTimer
{
public:
    /// A disabled timer of 1000 ms, child of owner, named "Timer1".
    explicit TUpdateTimer(QObject* owner);

    /// Starts or stops the ticks; enabling restarts the interval.
    void SetEnabled(bool enabled);
    /// The interval in milliseconds; 0 stops the ticks while keeping the timer enabled.
    void SetInterval(int intervalMs);
    /// Disables the timer for good: later SetEnabled(true) does nothing.
    void Retire();

    /// The timer's Enabled property.
    bool Enabled() const { return IsEnabled; }
    /// The interval in milliseconds.
    int Interval() const { return IntervalMs; }
    /// The toolkit timer, for connecting its ticks.
    QTimer& Timer() { return *Ticker; }

private:
    void Apply();

    QTimer* Ticker;
    int IntervalMs = 1000;
    bool IsEnabled = false;
    bool Retired = false;
};

/// Disables the update timer for its scope and enables it again on every way out.
class TTimerGuard
{
public:
    /// Disables timer now.
    explicit TTimerGuard(TUpdateTimer& timer)
        : Guarded(timer)
    {
        Guarded.SetEnabled(false);
    }
    /// Enables the timer again (unless it was retired by the Exit command meanwhile).
    ~TTimerGuard() { Guarded.SetEnabled(true); }
    TTimerGuard(const TTimerGuard&) = delete;
    TTimerGuard& operator=(const TTimerGuard&) = delete;

private:
    TUpdateTimer& Guarded;
};

} // namespace statlume
