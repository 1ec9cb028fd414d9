#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/sensor_block.h"
#include "platform/sensor_starter.h"

namespace statlume::platform {

/// A sensor block whose contents the test sets; used on one thread only.
class TFakeSensorBlock final : public TSensorBlock
{
public:
    /// Returns Words (empty: no block) and counts the call.
    std::optional<TSensorWords> Read() const override;

    /// What the next reads return.
    std::optional<TSensorWords> Words;
    /// Number of reads so far.
    mutable int Reads = 0;
};

/// What happened to a fake starter and its library; shared with the test, thread-safe.
class TFakeStarterLog
{
public:
    /// Makes later Start calls wait until Release.
    void Hold();
    /// Lets waiting and later Start calls return.
    void Release();

    /// Calls of Load, of a present entry Start, and library unloads.
    std::atomic<int> Loads{0};
    std::atomic<int> Starts{0};
    std::atomic<int> Unloads{0};

private:
    friend class TFakeSensorLibrary;
    void WaitWhileHeld();

    std::mutex Lock;
    std::condition_variable Released;
    bool Held = false;
};

/// What the fake starter finds.
enum class TFakeLibraryKind
{
    Missing,
    WithStart,
    WithoutStart
};

/// A starter whose library is missing, has a Start entry, or lacks one.
class TFakeSensorStarter final : public TSensorStarter
{
public:
    /// Records into log; kind decides what Load finds.
    TFakeSensorStarter(TFakeLibraryKind kind, std::shared_ptr<TFakeStarterLog> log);

    /// Null for Missing, else a library that records its Start calls and its unload.
    std::unique_ptr<TSensorLibrary> Load() override;

private:
    TFakeLibraryKind Kind;
    std::shared_ptr<TFakeStarterLog> Log;
};

/// The library handed out by TFakeSensorStarter.
class TFakeSensorLibrary final : public TSensorLibrary
{
public:
    /// A library with or without the entry, recording into log.
    TFakeSensorLibrary(bool hasStart, std::shared_ptr<TFakeStarterLog> log);
    TFakeSensorLibrary(const TFakeSensorLibrary&) = delete;
    TFakeSensorLibrary& operator=(const TFakeSensorLibrary&) = delete;
    /// Counts the unload.
    ~TFakeSensorLibrary() override;

    /// Counts the call and waits while the log is held; false without the entry.
    bool Start() override;

private:
    bool HasStart;
    std::shared_ptr<TFakeStarterLog> Log;
};

} // namespace statlume::platform
