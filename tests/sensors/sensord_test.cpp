#include <csignal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "platform/linux/shm_sensor_block.h"
#include "sensors/publisher_lock.h"
#include "sensors/test_process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace statlume {
namespace {

namespace fs = std::filesystem;
using platform::TShmSensorBlock;
using namespace statlume::testing;

const std::string SensordPath = STATLUME_SENSORD_PATH;
const std::string Fixture = std::string(STATLUME_TEST_DATA) + "/hwmon";

class Sensord : public ::testing::Test
{
protected:
    void TearDown() override { ::shm_unlink(Name.c_str()); }

    std::optional<platform::TSensorWords> Read() const { return TShmSensorBlock(Name).Read(); }

    TPrivateRuntime Runtime;
    std::string Name =
        PrivateBlockName(::testing::UnitTest::GetInstance()->current_test_info()->name());
};

TEST_F(Sensord, OncePublishesTheFirstSensorsAndKeepsTheBlock)
{
    ASSERT_EQ(RunToEnd(SensordPath, {"--once", "--root", Fixture, "--name", Name}), 0);

    const auto words = Read();
    ASSERT_TRUE(words.has_value());
    EXPECT_EQ(words->Temps[0], 28u);
    EXPECT_EQ(words->Temps[1], 45u);
    EXPECT_EQ(words->Temps[2], 61u);
    EXPECT_EQ(words->Temps[3], 0u);
    EXPECT_EQ(words->Fans[0], 1200u);
    EXPECT_EQ(words->Fans[1], 0u);
    EXPECT_EQ(words->Fans[2], 4500u);
    EXPECT_EQ(words->Fans[3], 0u);

    struct stat info
    {
    };
    ASSERT_EQ(::stat(("/dev/shm" + Name).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0022, 0u) << "only the owner writes";
}

TEST_F(Sensord, PublishesNegativeTemperaturesAndZerosWithoutDevices)
{
    TTempFolder root;
    fs::create_directories(root.Path / "hwmon0");
    std::ofstream(root.Path / "hwmon0/temp1_input") << "-3500\n";
    ASSERT_EQ(RunToEnd(SensordPath, {"--once", "--root", root.Path.string(), "--name", Name}), 0);
    auto words = Read();
    ASSERT_TRUE(words.has_value());
    EXPECT_EQ(static_cast<std::int16_t>(words->Temps[0]), -4);

    ASSERT_EQ(RunToEnd(SensordPath, {"--once", "--root", "/nonexistent", "--name", Name}), 0);
    words = Read();
    ASSERT_TRUE(words.has_value());
    EXPECT_EQ(words->Temps[0], 0u);
    EXPECT_EQ(words->Fans[0], 0u);
}

TEST_F(Sensord, ReplacesAStaleBlockOfItsOwnUser)
{
    const int fd = ::shm_open(Name.c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 50), 0);
    ::close(fd);
    ASSERT_FALSE(Read().has_value());

    ASSERT_EQ(RunToEnd(SensordPath, {"--once", "--root", Fixture, "--name", Name}), 0);
    EXPECT_TRUE(Read().has_value());
}

TEST_F(Sensord, RefreshesUntilTerminatedThenRemovesTheBlock)
{
    TTempFolder root;
    fs::copy(Fixture, root.Path, fs::copy_options::recursive);
    const pid_t pid =
        Spawn(SensordPath, {"--root", root.Path.string(), "--name", Name, "--interval", "100"});
    ASSERT_GT(pid, 0);
    TProcessGuard guard(pid);
    ASSERT_TRUE(Eventually([&] { return Read().has_value(); }));

    std::ofstream(root.Path / "hwmon0/temp1_input") << "33000\n";
    EXPECT_TRUE(Eventually([&] { return Read()->Temps[0] == 33u; }));
    EXPECT_EQ(RunToEnd(SensordPath, {"--root", root.Path.string(), "--name", Name}), 1)
        << "a second publisher of the same block is refused";
    EXPECT_TRUE(Read().has_value()) << "and leaves the first one's block alone";

    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    EXPECT_EQ(WaitExit(pid), 0);
    guard.Release();
    EXPECT_FALSE(Read().has_value());
    EXPECT_FALSE(IsPublisherRunning(PublisherLockPath(Runtime.Folder.Path, Name)));
}

TEST_F(Sensord, EndsOnceItsLockFileIsGone)
{
    const pid_t pid = Spawn(SensordPath, {"--root", Fixture, "--name", Name, "--interval", "100"});
    ASSERT_GT(pid, 0);
    TProcessGuard guard(pid);
    ASSERT_TRUE(Eventually([&] { return Read().has_value(); }));

    // As when the run-time folder is removed at logout or after a test run.
    fs::remove(PublisherLockPath(Runtime.Folder.Path, Name));
    int status = -1;
    EXPECT_TRUE(Eventually([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }));
    guard.Release();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_FALSE(Read().has_value());
}

TEST_F(Sensord, DetachReturnsOnceTheBlockIsUp)
{
    ASSERT_EQ(RunToEnd(SensordPath, {"--detach", "--root", Fixture, "--name", Name}), 0);
    EXPECT_TRUE(Read().has_value());

    const auto lock = PublisherLockPath(Runtime.Folder.Path, Name);
    ASSERT_TRUE(IsPublisherRunning(lock));
    pid_t pid = 0;
    std::ifstream(lock) >> pid;
    ASSERT_GT(pid, 0);
    TProcessGuard guard(pid, false);
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string field;
    for (int i = 0; i < 6 && stat >> field; ++i) {
    }
    EXPECT_NE(std::stol(field), static_cast<long>(::getsid(0))) << "left the caller's session";
    ASSERT_EQ(::kill(pid, SIGINT), 0);
    guard.Release();
    EXPECT_TRUE(Eventually([&] { return !Read().has_value() && !IsPublisherRunning(lock); }));
}

// A full /dev/shm: the publisher gets no pages for its block, says so, ends and leaves no
// block behind, where it died of SIGBUS on its first write.
TEST_F(Sensord, FullShmEndsThePublisherWithAMessage)
{
    TTempFolder folder;
    const auto errors = folder.Path / "stderr";
    const auto run = RunWithFullShm([&] {
        const int fd = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        ::dup2(fd, STDERR_FILENO);
        const int status = RunToEnd(SensordPath, {"--once", "--root", Fixture, "--name", Name});
        return ::shm_open(Name.c_str(), O_RDONLY, 0) >= 0 ? 100 : status;
    });
    if (!run.Skip.empty())
        GTEST_SKIP() << run.Skip;
    EXPECT_EQ(run.Signal, 0);
    EXPECT_EQ(run.Status, 1);
    std::ifstream in(errors);
    const std::string message((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(message.find("cannot allocate the block " + Name), std::string::npos) << message;
    EXPECT_NE(message.find("No space left on device"), std::string::npos) << message;
}

TEST_F(Sensord, RejectsBadOptions)
{
    EXPECT_EQ(RunToEnd(SensordPath, {"--name", "no-slash", "--once"}), 2);
    EXPECT_EQ(RunToEnd(SensordPath, {"--bogus"}), 2);
    EXPECT_FALSE(Read().has_value());
}

} // namespace
} // namespace statlume
