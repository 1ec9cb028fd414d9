#include "platform/linux/dl_sensor_starter.h"

#include <cerrno>
#include <optional>
#include <string>
#include <system_error>

#include "platform/linux/trusted_file.h"
#include "platform/linux/unique_fd.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    TDlSensorLibrary(TUniqueFd file, TDlHandle handle)
        : File(std::move(file))
        , Handle(std::move(handle))
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

    // Kept open while loaded: the library finds its own folder through the name it was
    // loaded by, /proc/self/fd/N.
    TUniqueFd File;
    TDlHandle Handle;
    TEntry Entry;
};

// Why code in this file or folder cannot be trusted, or nothing: anyone but root and this
// user who owns it, or can write to it, could make this program (perhaps run as root) run
// their code.
} // namespace

std::filesystem::path ExecutableFolder()
{
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : exe.parent_path();
}

void StarterMessageToStderr(const std::string& line)
{
    const std::string text = std::string(program_invocation_short_name) + ": " + line + "\n";
    // One write, so a line from this thread never mixes with the main thread's output.
    [[maybe_unused]] const auto written = ::write(STDERR_FILENO, text.data(), text.size());
}

TDlSensorStarter::TDlSensorStarter(std::filesystem::path folder, TStarterMessage message)
    : Folder(std::move(folder))
    , Message(std::move(message))
{
}

std::unique_ptr<TSensorLibrary> TDlSensorStarter::Load()
{
    if (Folder.empty() || Folder.is_relative())
        return nullptr;
    const auto file = Folder / SensorStarterFileName;
    const auto refuse = [&](const std::string& what, const std::string& why) {
        if (Message)
            Message("not loading " + file.string() + ": " + what + " " + why);
        return nullptr;
    };

    const TUniqueFd folder(::open(Folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat info
    {
    };
    if (!folder || ::fstat(folder.Get(), &info) != 0)
        return nullptr;
    if (const auto why = Distrust(info))
        return refuse("its folder", *why);

    // Non-blocking, so a FIFO in its place cannot hang the starter.
    TUniqueFd library(::openat(folder.Get(), std::string(SensorStarterFileName).c_str(),
                               O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!library) {
        if (errno == ELOOP)
            return refuse("it", "is a symbolic link");
        return nullptr;
    }
    if (::fstat(library.Get(), &info) != 0)
        return nullptr;
    if (!S_ISREG(info.st_mode))
        return refuse("it", "is not a regular file");
    if (const auto why = Distrust(info))
        return refuse("it", *why);

    const std::string opened = "/proc/self/fd/" + std::to_string(library.Get());
    TDlHandle handle(::dlopen(opened.c_str(), RTLD_NOW | RTLD_LOCAL));
    if (!handle)
        return nullptr;
    return std::make_unique<TDlSensorLibrary>(std::move(library), std::move(handle));
}

} // namespace statlume::platform
