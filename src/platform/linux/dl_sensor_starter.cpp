#include "platform/linux/dl_sensor_starter.h"

#include <string>
#include <system_error>

#include <dlfcn.h>

namespace statlume::platform {

namespace {

struct TDlClose
{
    void operator()(void* handle) const { ::dlclose(handle); }
};

using TDlHandle = std::unique_ptr<void, TDlClose>;
using TEntry = void (*)();

/// A library opened with dlopen and its entry, looked up once.
class TDlSensorLibrary final : public TSensorLibrary
{
public:
    explicit TDlSensorLibrary(TDlHandle handle)
        : Handle(std::move(handle))
        , Entry(LookUp(Handle.get()))
    {
    }

    bool Start() override
    {
        if (Entry == nullptr)
            return false;
        Entry();
        return true;
    }

private:
    static TEntry LookUp(void* handle)
    {
        const std::string name(SensorStarterEntry);
        return reinterpret_cast<TEntry>(::dlsym(handle, name.c_str()));
    }

    TDlHandle Handle;
    TEntry Entry;
};

} // namespace

std::filesystem::path ExecutableFolder()
{
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : exe.parent_path();
}

TDlSensorStarter::TDlSensorStarter(std::filesystem::path folder)
    : Folder(std::move(folder))
{
}

std::unique_ptr<TSensorLibrary> TDlSensorStarter::Load()
{
    if (Folder.empty() || Folder.is_relative())
        return nullptr;
    const auto file = Folder / SensorStarterFileName;
    TDlHandle handle(::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL));
    if (!handle)
        return nullptr;
    return std::make_unique<TDlSensorLibrary>(std::move(handle));
}

} // namespace statlume::platform
