// MBMStarter.so: the starter library the program loads from its own folder. Its entry Start
// launches statlume-sensord (beside the library in a build tree, in the programs' folder once
// installed) unless a publisher already runs, and returns once the block is up or the launch
// has failed, within a few seconds.

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>

#include "platform/linux/trusted_file.h"
#include "platform/sensor_block.h"
#include "sensors/publisher_lock.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern "C" __attribute__((visibility("default"))) void Start() noexcept;

#ifndef STATLUME_BIN_FROM_STARTER
#error "STATLUME_BIN_FROM_STARTER must name the installed programs' folder relative to the library"
#endif

namespace {

using namespace statlume;

constexpr auto LaunchWait = std::chrono::seconds(6);
constexpr const char* PublisherName = "statlume-sensord";

// The program loads this library through /proc/self/fd/N of the file it checked, and keeps
// that descriptor open while the library is loaded; resolving the name gives the real file.
std::filesystem::path OwnFolder()
{
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&Start), &info) == 0 || info.dli_fname == nullptr)
        return {};
    std::error_code error;
    const auto file = std::filesystem::canonical(info.dli_fname, error);
    return error ? std::filesystem::path() : file.parent_path();
}

// The publisher beside the library, else in the installed programs' folder; empty when neither
// is an executable.
std::string PublisherPath(const std::filesystem::path& folder)
{
    for (const auto& candidate :
         {folder / PublisherName,
          (folder / STATLUME_BIN_FROM_STARTER / PublisherName).lexically_normal()}) {
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate.string();
    }
    return {};
}

// Owns the spawn attributes and file actions.
struct TSpawnSetup
{
    TSpawnSetup()
    {
        ::posix_spawnattr_init(&Attributes);
        ::posix_spawn_file_actions_init(&Actions);
    }
    TSpawnSetup(const TSpawnSetup&) = delete;
    TSpawnSetup& operator=(const TSpawnSetup&) = delete;
    ~TSpawnSetup()
    {
        ::posix_spawn_file_actions_destroy(&Actions);
        ::posix_spawnattr_destroy(&Attributes);
    }

    posix_spawnattr_t Attributes;
    posix_spawn_file_actions_t Actions;
};

// The publisher must not inherit the program's descriptors (a listening socket would outlive
// the program), its terminal, or a signal mask or dispositions that would keep it from
// ending on SIGTERM.
void Prepare(TSpawnSetup& setup)
{
    for (const int fd : {0, 1, 2})
        ::posix_spawn_file_actions_addopen(&setup.Actions, fd, "/dev/null", O_RDWR, 0);
    ::posix_spawn_file_actions_addclosefrom_np(&setup.Actions, 3);
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (const int number : {SIGTERM, SIGINT, SIGHUP, SIGPIPE, SIGCHLD})
        sigaddset(&defaults, number);
    ::posix_spawnattr_setsigmask(&setup.Attributes, &none);
    ::posix_spawnattr_setsigdefault(&setup.Attributes, &defaults);
    ::posix_spawnattr_setflags(&setup.Attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
}

// The launched process returns as soon as the detached publisher is up; it is reaped here so
// no zombie is left in the program. One that takes too long is left to the system.
void Reap(pid_t pid)
{
    const auto deadline = std::chrono::steady_clock::now() + LaunchWait;
    while (::waitpid(pid, nullptr, WNOHANG) == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

// The publisher gets the library's own check, on the file and on its folder: a file that
// others own or can write, or can swap in its folder, could hold anyone's code.
bool Trusted(const std::string& program)
{
    struct stat file
    {
    };
    struct stat folder
    {
    };
    const auto parent = std::filesystem::path(program).parent_path();
    return ::stat(program.c_str(), &file) == 0 && S_ISREG(file.st_mode) &&
           !platform::Distrust(file) && ::stat(parent.c_str(), &folder) == 0 &&
           !platform::Distrust(folder);
}

void Launch()
{
    const auto folder = OwnFolder();
    const auto runtime = RuntimeFolder();
    if (folder.empty() || !runtime)
        return;
    if (IsPublisherRunning(PublisherLockPath(*runtime, platform::SensorBlockName)))
        return;
    const std::string program = PublisherPath(folder);
    if (program.empty() || !Trusted(program))
        return;
    TSpawnSetup setup;
    Prepare(setup);
    std::string detach = "--detach";
    char* const argv[] = {const_cast<char*>(program.c_str()), detach.data(), nullptr};
    pid_t pid = 0;
    if (::posix_spawn(&pid, program.c_str(), &setup.Actions, &setup.Attributes, argv, environ) == 0)
        Reap(pid);
}

} // namespace

extern "C" void Start() noexcept
{
    try {
        Launch();
    } catch (...) {
        // Nothing may cross into the loading program; a failed launch simply leaves the
        // block missing, which the program tolerates.
    }
}
