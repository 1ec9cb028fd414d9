#include "collect/sensor_step.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <system_error>

namespace statlume {

// Shared by the step and its starter thread, so a thread left running at shutdown never
// touches a destroyed step.
struct TSensorStep::TStarterState
{
    std::unique_ptr<platform::TSensorStarter> Starter;
    TPostToMain PostToMain;
    std::mutex Lock;
    std::condition_variable Done;
    bool Finished = false;
    // Set by Shutdown: from then on the thread posts nothing, since the main loop may be gone.
    bool Abandoned = false;
    std::unique_ptr<platform::TSensorLibrary> SensorLib;
};

namespace {

template <typename TState> bool IsAbandoned(TState& state)
{
    const std::lock_guard lock(state.Lock);
    return state.Abandoned;
}

} // namespace

TSensorStep::TSensorStep(std::unique_ptr<platform::TSensorBlock> block,
                         std::unique_ptr<platform::TSensorStarter> starter, TPostToMain postToMain,
                         bool clientMode, std::chrono::milliseconds shutdownWait)
    : Block(std::move(block))
    , State(std::make_shared<TStarterState>())
    , ClientMode(clientMode)
    , ShutdownWait(shutdownWait)
{
    State->Starter = std::move(starter);
    State->PostToMain = std::move(postToMain);
}

TSensorStep::~TSensorStep()
{
    Shutdown();
}

void TSensorStep::Run(TRawData& data)
{
    // Starts at most once per run: afterwards either the library is loaded or the start
    // stays pending for good.
    if (!Launched && !ShutDown) {
        Launch();
        return;
    }
    const auto words = Block->Read();
    if (!words)
        return;
    for (std::size_t i = 0; i < 3; ++i) {
        data.Temps[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(words->Temps[i]));
        data.Fans[i] = static_cast<std::int32_t>(words->Fans[i]);
    }
}

void TSensorStep::Launch()
{
    Launched = true;
    SensorStartPending = true;
    if (ClientMode)
        return;
    // A report is posted only by a finished thread, before Shutdown: the state then lives
    // exactly as long as the step, so a live state means a live step.
    auto report = [weak = std::weak_ptr<TStarterState>(State), this] {
        const auto state = weak.lock();
        if (state && !IsAbandoned(*state))
            OnStarterReported();
    };
    try {
        SensorThread = std::jthread(&TSensorStep::RunStarter, State, std::move(report));
    } catch (const std::system_error&) {
        // No thread: the step goes on reading the block, as without a library.
    }
}

void TSensorStep::RunStarter(const std::shared_ptr<TStarterState>& state,
                             std::function<void()> report)
{
    auto library = state->Starter->Load();
    const bool loaded = library != nullptr;
    if (loaded) {
        // The library stays loaded until this thread has finished, so Start's code is never
        // unloaded under it.
        auto* raw = library.get();
        {
            const std::lock_guard lock(state->Lock);
            state->SensorLib = std::move(library);
        }
        raw->Start();
    }
    const std::lock_guard lock(state->Lock);
    if (loaded && !state->Abandoned && state->PostToMain)
        state->PostToMain(std::move(report));
    state->Finished = true;
    state->Done.notify_all();
}

void TSensorStep::OnStarterReported()
{
    SensorStartPending = false;
    if (SensorThread.joinable())
        SensorThread.join();
}

void TSensorStep::Shutdown()
{
    if (ShutDown)
        return;
    ShutDown = true;
    bool finished = true;
    {
        std::unique_lock lock(State->Lock);
        if (SensorThread.joinable())
            finished = State->Done.wait_for(lock, ShutdownWait, [this] { return State->Finished; });
        State->Abandoned = true;
    }
    if (!finished) {
        // Start is still running inside the library: unloading it would pull its code away,
        // so the thread keeps the library and the shared state until it ends.
        SensorThread.detach();
        return;
    }
    if (SensorThread.joinable())
        SensorThread.join();
    UnloadLibrary();
}

void TSensorStep::UnloadLibrary()
{
    std::unique_ptr<platform::TSensorLibrary> library;
    {
        const std::lock_guard lock(State->Lock);
        library = std::move(State->SensorLib);
    }
    if (library)
        library->Start();
}

bool TSensorStep::LibraryLoaded() const
{
    const std::lock_guard lock(State->Lock);
    return State->SensorLib != nullptr;
}

} // namespace statlume
