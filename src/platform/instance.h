#pragma once

#include <functional>
#include <memory>
#include <string>

namespace statlume::platform {

/// Held by the one local display for its whole life; releasing it frees the display lock.
class TInstanceHold
{
public:
    virtual ~TInstanceHold() = default;
    /// Calls onRestore, on a background thread, each time a later plain start signals; call
    /// at most once. Signals sent before this call are delivered once it runs.
    virtual void ListenForRestore(std::function<void()> onRestore) = 0;
};

/// Outcome of trying to become the one local display of this user.
enum class TAcquireState
{
    Acquired,
    HeldElsewhere,
    Failed,
};

/// The state, the hold when acquired, and the reason when failed.
struct TAcquireResult
{
    TAcquireState State = TAcquireState::Failed;
    std::unique_ptr<TInstanceHold> Hold;
    std::string Error;
};

/// The per-user single-instance rule: a display lock and a restore signal.
class TSingleInstance
{
public:
    virtual ~TSingleInstance() = default;
    /// Takes the display lock without waiting.
    virtual TAcquireResult TryAcquire() = 0;
    /// Wakes the running display's restore handler; false when none could be reached.
    virtual bool SignalRunning() = 0;
    /// The user's private folder (mode 0700) for run-time files; empty when none is usable.
    virtual std::string UserFolder() = 0;
};

} // namespace statlume::platform
