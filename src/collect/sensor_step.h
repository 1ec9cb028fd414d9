#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "platform/sensor_block.h"
#include "platform/sensor_starter.h"
#include "record/raw_data.h"

namespace statlume {

/// Hands a function to the program's main thread, which runs it later.
using TPostToMain = std::function<void(std::function<void()>)>;

/// How long Shutdown waits for a starter library's Start that has not yet returned.
inline constexpr std::chrono::milliseconds SensorShutdownWait{2000};

/// The sensor step of a collection together with the program-wide sensor state: the starter
/// library (SensorLib), SensorStartPending and the starter thread (SensorThread). Every member
/// function runs on the main thread.
class TSensorStep
{
public:
    /// Reads through block and loads the starter library through starter; postToMain carries
    /// the starter thread's report to the main thread. A client (clientMode) never loads the
    /// library and only reads the block. Shutdown waits at most shutdownWait for a running
    /// Start.
    TSensorStep(std::unique_ptr<platform::TSensorBlock> block,
                std::unique_ptr<platform::TSensorStarter> starter, TPostToMain postToMain,
                bool clientMode, std::chrono::milliseconds shutdownWait = SensorShutdownWait);
    TSensorStep(const TSensorStep&) = delete;
    TSensorStep& operator=(const TSensorStep&) = delete;
    /// Runs Shutdown if it has not run yet.
    ~TSensorStep();

    /// The sensor step: the first call starts the starter thread and reads nothing; every
    /// later call copies Temps (low 16 bits of each word, signed) and Fans from the block, or
    /// leaves both unchanged when the block cannot be read.
    void Run(TRawData& data);

    /// The starter thread's report: clears SensorStartPending and joins the thread.
    void OnStarterReported();

    /// The exit step: calls Start once more if the library is loaded, then unloads it. A
    /// Start still running after the wait is left alone with its library loaded. Runs once.
    void Shutdown();

    /// True while the starter library is loaded.
    bool LibraryLoaded() const;

    /// True from the first Run until the starter thread's report has been handled; stays true
    /// when the thread ends without a report (no library, client).
    bool StartPending() const { return SensorStartPending; }

private:
    struct TStarterState;

    static void RunStarter(const std::shared_ptr<TStarterState>& state,
                           std::function<void()> report);
    void Launch();
    void UnloadLibrary();

    std::unique_ptr<platform::TSensorBlock> Block;
    std::shared_ptr<TStarterState> State;
    bool ClientMode;
    std::chrono::milliseconds ShutdownWait;
    bool Launched = false;
    bool ShutDown = false;
    bool SensorStartPending = false;
    std::jthread SensorThread;
};

} // namespace statlume
