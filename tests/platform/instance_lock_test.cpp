#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <optional>
#include <thread>

#include "display/program_entry.h"
#include "platform/linux/instance_lock.h"
#include "platform/scoped_env.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace statlume::platform {
namespace {

namespace fs = std::filesystem;

class InstanceLockTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/statlume-inst-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        Base = pattern;
        Folder = (Base / "statlume").string();
    }
    void TearDown() override { fs::remove_all(Base); }

    fs::path Base;
    std::string Folder;
};

TEST_F(InstanceLockTest, OneHolderAtATime)
{
    TInstanceLock lock(Folder);
    TAcquireResult first = lock.TryAcquire();
    ASSERT_EQ(first.State, TAcquireState::Acquired) << first.Error;
    EXPECT_TRUE(first.Error.empty());
    EXPECT_EQ(lock.TryAcquire().State, TAcquireState::HeldElsewhere);
    first.Hold.reset();
    EXPECT_EQ(lock.TryAcquire().State, TAcquireState::Acquired);
    struct stat info
    {
    };
    ASSERT_EQ(::stat(Folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST_F(InstanceLockTest, UnsafeFoldersAreRefused)
{
    struct Row
    {
        const char* name;
        std::function<void(const std::string&)> prepare;
    };
    const Row rows[] = {
        {"open to others",
         [](const std::string& f) { fs::create_directory(f), ::chmod(f.c_str(), 0755); }},
        {"a link to a folder",
         [this](const std::string& f) {
             fs::create_directory(Base / "elsewhere");
             ::chmod((Base / "elsewhere").c_str(), 0700);
             fs::create_directory_symlink(Base / "elsewhere", f);
         }},
        {"a file", [](const std::string& f) { std::ofstream{f}; }},
    };
    int index = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string folder = (Base / "f").string();
        folder += std::to_string(index++);
        row.prepare(folder);
        TInstanceLock lock(folder);
        const TAcquireResult result = lock.TryAcquire();
        EXPECT_EQ(result.State, TAcquireState::Failed);
        EXPECT_FALSE(result.Error.empty());
        EXPECT_EQ(lock.UserFolder(), "");
    }
}

TEST_F(InstanceLockTest, SignalBeforeListeningIsDelivered)
{
    TInstanceLock lock(Folder);
    TAcquireResult held = lock.TryAcquire();
    ASSERT_EQ(held.State, TAcquireState::Acquired);
    EXPECT_TRUE(TInstanceLock(Folder).SignalRunning());
    std::promise<void> restored;
    held.Hold->ListenForRestore([&] { restored.set_value(); });
    EXPECT_EQ(restored.get_future().wait_for(std::chrono::seconds(5)), std::future_status::ready);
}

TEST_F(InstanceLockTest, SecondPlainStartSignalsTheFirstAndEnds)
{
    TInstanceLock lock(Folder);
    TAcquireResult held = lock.TryAcquire();
    ASSERT_EQ(held.State, TAcquireState::Acquired);
    std::promise<void> restored;
    held.Hold->ListenForRestore([&] { restored.set_value(); });

    const pid_t child = ::fork();
    if (child == 0) {
        TInstanceLock second(Folder);
        TEntryServices services{second, std::nullopt, {}, {}};
        const TEntryResult result = ProgramEntry({}, services);
        ::_exit(result.Action == TEntryAction::SignalledRunningCopy ? result.ExitCode() : 2);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(restored.get_future().wait_for(std::chrono::seconds(5)), std::future_status::ready);
}

// The child's CPU time, user and system, in microseconds.
long CpuMicros()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1'000'000L + usage.ru_utime.tv_usec +
           usage.ru_stime.tv_usec;
}

TEST_F(InstanceLockTest, RestoreListenerDoesNotSpinWhenOutOfDescriptors)
{
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizer runtimes open descriptors of their own to check memory, and misreport
    // once none are left.
    GTEST_SKIP() << "needs every descriptor used up, which the sanitizer runtimes cannot bear";
#endif
    // In a child, whose descriptor limit can be used up without harm to the test program.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        TInstanceLock lock(Folder);
        TAcquireResult held = lock.TryAcquire();
        if (held.State != TAcquireState::Acquired)
            ::_exit(2);
        bool restored = false;
        held.Hold->ListenForRestore([&] { restored = true; });
        const int peer = ::socket(AF_UNIX, SOCK_STREAM, 0);
        const rlimit few{64, 64};
        if (peer < 0 || ::setrlimit(RLIMIT_NOFILE, &few) != 0)
            ::_exit(3);
        while (::dup(0) >= 0) {
        }
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string path = Folder + "/restore.sock";
        path.copy(address.sun_path, sizeof address.sun_path - 1);
        if (::connect(peer, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
            ::_exit(4);
        // A pending connection that cannot be accepted must not keep the listener busy.
        const long before = CpuMicros();
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        ::_exit(CpuMicros() - before < 50'000 && !restored ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(InstanceLock, DefaultFolderIsPerUser)
{
    const testing::TScopedEnv runtime("XDG_RUNTIME_DIR", "/run/user/4242");
    EXPECT_EQ(DefaultRuntimeFolder().Folder, "/run/user/4242/statlume");
}

// Another user who makes /tmp/statlume-<uid> first keeps neither the lock nor the help page's
// folder from this user. Runs in a child with a /tmp of its own, so the machine's is untouched.
TEST(InstanceLock, AnotherUsersFolderInTmpIsNoObstacle)
{
    if (::geteuid() != 0 || ::access("/usr/bin/setpriv", X_OK) != 0) {
        GTEST_SKIP() << "needs root and setpriv to act as a second user (uid 65534)";
    }
    constexpr int NoNamespace = 77;
    const pid_t child = ::fork();
    if (child == 0) {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", "/tmp", "tmpfs", 0, "mode=1777") != 0) {
            ::_exit(NoNamespace);
        }
        const std::string squatted = "/tmp/statlume-" + std::to_string(::getuid());
        const std::string squat =
            "setpriv --reuid 65534 --regid 65534 --clear-groups mkdir -m 777 " + squatted;
        if (std::system(squat.c_str()) != 0 || ::mkdir("/tmp/cache", 0700) != 0) {
            ::_exit(1);
        }
        ::unsetenv("XDG_RUNTIME_DIR");
        ::setenv("XDG_CACHE_HOME", "/tmp/cache", 1);
        TInstanceLock first;
        const TAcquireResult held = first.TryAcquire();
        TInstanceLock second;
        const std::string folder = second.UserFolder();
        ::_exit(held.State != TAcquireState::Acquired                       ? 2
                : second.TryAcquire().State != TAcquireState::HeldElsewhere ? 3
                : folder.empty() || folder == squatted                      ? 4
                : folder != first.UserFolder()                              ? 5
                                                                            : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == NoNamespace) {
        GTEST_SKIP() << "no private mount namespace with its own /tmp here";
    }
    EXPECT_EQ(WEXITSTATUS(status), 0) << "2: lock refused, 3: second copy not told, 4: no folder "
                                         "or the other user's, 5: copies disagree";
}

} // namespace
} // namespace statlume::platform
