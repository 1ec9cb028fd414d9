#include "platform/fake/fake_sensor.h"

namespace statlume::platform {

std::optional<TSensorWords> TFakeSensorBlock::Read() const
{
    ++Reads;
    return Words;
}

void TFakeStarterLog::Hold()
{
    const std::lock_guard lock(Lock);
    Held = true;
}

void TFakeStarterLog::Release()
{
    {
        const std::lock_guard lock(Lock);
        Held = false;
    }
    Released.notify_all();
}

void TFakeStarterLog::WaitWhileHeld()
{
    std::unique_lock lock(Lock);
    Released.wait(lock, [this] { return !Held; });
}

TFakeSensorStarter::TFakeSensorStarter(TFakeLibraryKind kind, std::shared_ptr<TFakeStarterLog> log)
    : Kind(kind)
    , Log(std::move(log))
{
}

std::unique_ptr<TSensorLibrary> TFakeSensorStarter::Load()
{
    ++Log->Loads;
    if (Kind == TFakeLibraryKind::Missing)
        return nullptr;
    return std::make_unique<TFakeSensorLibrary>(Kind == TFakeLibraryKind::WithStart, Log);
}

TFakeSensorLibrary::TFakeSensorLibrary(bool hasStart, std::shared_ptr<TFakeStarterLog> log)
    : HasStart(hasStart)
    , Log(std::move(log))
{
}

TFakeSensorLibrary::~TFakeSensorLibrary()
{
    ++Log->Unloads;
}

bool TFakeSensorLibrary::Start()
{
    if (!HasStart)
        return false;
    ++Log->Starts;
    Log->WaitWhileHeld();
    return true;
}

} // namespace statlume::platform
