#pragma once

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace statlume::testing {

/// A fresh private folder, removed with everything in it.
class TTempFolder
{
public:
    TTempFolder()
    {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "statlume-sensors-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr)
            Path = pattern;
    }
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;
    ~TTempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(Path, ignored);
    }

    std::filesystem::path Path;
};

/// A block name no other test or program uses.
inline std::string PrivateBlockName(const std::string& tag)
{
    return "/statlume-test-" + std::to_string(::getpid()) + "-" + tag;
}

/// Starts program with args; the child's pid, or -1.
inline pid_t Spawn(const std::string& program, const std::vector<std::string>& args)
{
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    return ::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) == 0 ? pid
                                                                                             : -1;
}

/// The exit status of pid, or -1 when it did not exit normally.
inline int WaitExit(pid_t pid)
{
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

/// Runs program to its end; its exit status, or -1.
inline int RunToEnd(const std::string& program, const std::vector<std::string>& args)
{
    const pid_t pid = Spawn(program, args);
    return pid < 0 ? -1 : WaitExit(pid);
}

/// Polls condition for up to five seconds.
template <typename TCondition> bool Eventually(TCondition condition)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

/// Kills a started publisher when the test leaves before ending it, so a failed assertion
/// never leaves one running; a child of the test is also reaped.
class TProcessGuard
{
public:
    /// Guards pid; child tells whether the test may reap it.
    explicit TProcessGuard(pid_t pid, bool child = true)
        : Pid(pid)
        , Child(child)
    {
    }
    TProcessGuard(const TProcessGuard&) = delete;
    TProcessGuard& operator=(const TProcessGuard&) = delete;
    ~TProcessGuard()
    {
        if (Pid <= 0)
            return;
        ::kill(Pid, SIGKILL);
        if (Child)
            ::waitpid(Pid, nullptr, 0);
    }

    /// The test has ended (or reaped) the process itself.
    void Release() { Pid = -1; }

private:
    pid_t Pid;
    bool Child;
};

/// Points XDG_RUNTIME_DIR at a private folder for the test's lifetime, so lock files of the
/// real publisher are never touched.
class TPrivateRuntime
{
public:
    TPrivateRuntime()
    {
        if (const char* old = std::getenv("XDG_RUNTIME_DIR"))
            Old = old;
        ::setenv("XDG_RUNTIME_DIR", Folder.Path.c_str(), 1);
    }
    TPrivateRuntime(const TPrivateRuntime&) = delete;
    TPrivateRuntime& operator=(const TPrivateRuntime&) = delete;
    ~TPrivateRuntime()
    {
        if (Old.empty())
            ::unsetenv("XDG_RUNTIME_DIR");
        else
            ::setenv("XDG_RUNTIME_DIR", Old.c_str(), 1);
    }

    TTempFolder Folder;

private:
    std::string Old;
};

/// How a function run with a full /dev/shm ended: its exit status, the signal that ended it,
/// or why the machine allows no private /dev/shm (then nothing ran).
struct TFullShmRun
{
    std::optional<int> Status;
    int Signal = 0;
    std::string Skip;
};

/// Runs body in a child whose /dev/shm is a private tmpfs of two pages, all taken by a filler
/// file, in a mount namespace of its own (needs root); body's result is the exit status.
inline TFullShmRun RunWithFullShm(const std::function<int()>& body)
{
    if (::geteuid() != 0)
        return {std::nullopt, 0, "a private /dev/shm needs root"};
    constexpr int NoNamespace = 77;
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", "/dev/shm", "tmpfs", MS_NOSUID | MS_NODEV, "size=8k") != 0)
            ::_exit(NoNamespace);
        const int filler = ::open("/dev/shm/filler", O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        const char page[4096] = {};
        while (::write(filler, page, sizeof page) > 0) {
        }
        ::close(filler);
        ::_exit(body());
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid)
        return {std::nullopt, 0, "cannot fork"};
    if (WIFSIGNALED(status))
        return {std::nullopt, WTERMSIG(status), {}};
    if (WEXITSTATUS(status) == NoNamespace)
        return {std::nullopt, 0, "no private mount namespace allowed here"};
    return {WEXITSTATUS(status), 0, {}};
}

} // namespace statlume::testing
