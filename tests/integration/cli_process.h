#pragma once

#include <chrono>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/free_port.h"
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace statlume::testing {

/// The console program under test.
std::string CliPath();

/// A scratch folder, removed with the object.
class TScratchDir
{
public:
    TScratchDir();
    ~TScratchDir();
    TScratchDir(const TScratchDir&) = delete;
    TScratchDir& operator=(const TScratchDir&) = delete;

    /// The folder.
    const std::filesystem::path& Path() const { return Dir; }
    /// A new empty folder inside it.
    std::filesystem::path NewFolder(const std::string& name) const;

private:
    std::filesystem::path Dir;
};

/// The whole content of a file; empty when it cannot be read.
std::string ReadWholeFile(const std::filesystem::path& path);

/// Polls until check is true or limit has passed; the last value of check.
bool WaitUntil(const std::function<bool()>& check, std::chrono::milliseconds limit);

/// True when something accepts connections on the loopback port.
bool PortAccepts(int port);

/// How often part stands in text, overlapping places counted.
std::size_t CountOf(const std::string& text, const std::string& part);

/// One run of the console program with its own settings and runtime folders and its output
/// in files; killed and reaped at destruction if still running.
class TCliProcess
{
public:
    /// Starts the program with args; configHome becomes XDG_CONFIG_HOME, and a fresh runtime
    /// folder and the output files are made in workDir under name; env holds further
    /// variables as "NAME=VALUE"; a wrapper command, when given, runs with the program and
    /// args after its own words.
    TCliProcess(const std::vector<std::string>& args, const std::filesystem::path& workDir,
                const std::string& name, const std::filesystem::path& configHome,
                const std::vector<std::string>& env = {},
                const std::vector<std::string>& wrapper = {});
    ~TCliProcess();
    TCliProcess(const TCliProcess&) = delete;
    TCliProcess& operator=(const TCliProcess&) = delete;

    /// Sends sig to the program.
    void Signal(int sig) const;
    /// The program's process id.
    pid_t Id() const { return Pid; }
    /// The exit status once the program ended within limit (-1 when ended by a signal);
    /// nothing when it still runs.
    std::optional<int> Wait(std::chrono::milliseconds limit);
    /// What the program wrote so far.
    std::string Out() const { return ReadWholeFile(OutPath); }
    std::string Err() const { return ReadWholeFile(ErrPath); }

private:
    pid_t Pid = -1;
    std::optional<int> Status;
    std::filesystem::path OutPath;
    std::filesystem::path ErrPath;
};

// Definitions: the test program is built from *_test.cpp files only, so they live here.

inline std::string CliPath()
{
    return STATLUME_BINARY_DIR "/src/cli/statlume-cli";
}

inline TScratchDir::TScratchDir()
{
    std::string pattern = std::filesystem::temp_directory_path() / "statlume-cli-XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr)
        Dir = pattern;
}

inline TScratchDir::~TScratchDir()
{
    std::error_code ignored;
    if (!Dir.empty())
        std::filesystem::remove_all(Dir, ignored);
}

inline std::filesystem::path TScratchDir::NewFolder(const std::string& name) const
{
    const auto folder = Dir / name;
    std::filesystem::create_directories(folder);
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
    return folder;
}

inline std::string ReadWholeFile(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

namespace detail {

inline int LoopbackSocket(int port, bool bindIt)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const auto* raw = reinterpret_cast<const sockaddr*>(&address);
    const int result =
        bindIt ? ::bind(fd, raw, sizeof address) : ::connect(fd, raw, sizeof address);
    if (result != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace detail

inline std::size_t CountOf(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

inline bool PortAccepts(int port)
{
    const int fd = detail::LoopbackSocket(port, false);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

inline bool WaitUntil(const std::function<bool()>& check, std::chrono::milliseconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!check()) {
        if (std::chrono::steady_clock::now() >= end)
            return check();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

inline TCliProcess::TCliProcess(const std::vector<std::string>& args,
                                const std::filesystem::path& workDir, const std::string& name,
                                const std::filesystem::path& configHome,
                                const std::vector<std::string>& env,
                                const std::vector<std::string>& wrapper)
    : OutPath(workDir / (name + ".out"))
    , ErrPath(workDir / (name + ".err"))
{
    const auto runtime = workDir / (name + "-runtime");
    std::filesystem::create_directories(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    const std::string program = CliPath();
    Pid = fork();
    if (Pid != 0)
        return;
    const int out = open(OutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open(ErrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(out, 1);
    dup2(err, 2);
    setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    for (const std::string& variable : env)
        putenv(const_cast<char*>(variable.c_str()));
    std::vector<char*> argv;
    for (const std::string& word : wrapper)
        argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execvp(argv.front(), argv.data());
    _exit(127);
}

inline TCliProcess::~TCliProcess()
{
    if (Pid > 0 && !Status) {
        ::kill(Pid, SIGKILL);
        ::waitpid(Pid, nullptr, 0);
    }
}

inline void TCliProcess::Signal(int sig) const
{
    if (Pid > 0 && !Status)
        ::kill(Pid, sig);
}

inline std::optional<int> TCliProcess::Wait(std::chrono::milliseconds limit)
{
    WaitUntil(
        [this] {
            if (Status)
                return true;
            int raw = 0;
            if (::waitpid(Pid, &raw, WNOHANG) != Pid)
                return false;
            Status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
            return true;
        },
        limit);
    return Status;
}

} // namespace statlume::testing
