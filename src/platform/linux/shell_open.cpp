#include "platform/linux/shell_open.h"

#include <cerrno>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace statlume::platform {

namespace {

// Starts program with path as its one argument and stdin on /dev/null; 0 on failure.
pid_t Spawn(const std::string& program, const std::string& path, std::string& error)
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
        return 0;
    }
    return pid;
}

// Reaps the child whenever it ends so it never lingers as a zombie.
void ReapLater(pid_t pid)
{
    std::thread([pid] { ::waitpid(pid, nullptr, 0); }).detach();
}

} // namespace

bool SpawnDetached(const std::string& program, const std::string& path, std::string& error)
{
    const pid_t pid = Spawn(program, path, error);
    if (pid == 0) {
        return false;
    }
    ReapLater(pid);
    return true;
}

bool SpawnAndWatch(const std::string& program, const std::string& path,
                   std::chrono::milliseconds patience, std::string& error)
{
    const pid_t pid = Spawn(program, path, error);
    if (pid == 0) {
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + patience;
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            break;
        }
        if (done < 0 && errno != EINTR) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            ReapLater(pid);
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        return true;
    }
    error = program + " could not open it (" +
            (WIFEXITED(status) ? "exit status " + std::to_string(WEXITSTATUS(status))
                               : std::string("ended by a signal")) +
            ")";
    return false;
}

bool ShellOpen(const std::string& path, std::string& error)
{
    return SpawnDetached("xdg-open", path, error);
}

bool ShellOpenWatched(const std::string& path, std::string& error)
{
    return SpawnAndWatch("xdg-open", path, std::chrono::seconds(2), error);
}

} // namespace statlume::platform
