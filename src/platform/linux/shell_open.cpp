#include "platform/linux/shell_open.h"

#include <cstring>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace statlume::platform {

bool SpawnDetached(const std::string& program, const std::string& path, std::string& error)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    std::string programCopy = program;
    std::string pathCopy = path;
    char* argv[] = {programCopy.data(), pathCopy.data(), nullptr};
    pid_t pid = 0;
    const int result = ::posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (result != 0) {
        error = "Cannot start " + program + ": " + std::strerror(result);
        return false;
    }
    // Reap the child whenever it ends so it never lingers as a zombie.
    std::thread([pid] { ::waitpid(pid, nullptr, 0); }).detach();
    return true;
}

bool ShellOpen(const std::string& path, std::string& error)
{
    return SpawnDetached("xdg-open", path, error);
}

} // namespace statlume::platform
