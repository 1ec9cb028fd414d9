#include <filesystem>
#include <fstream>
#include <string>

#include "platform/scoped_env.h"
#include "sensors/publisher_lock.h"
#include "sensors/test_process.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace statlume {
namespace {

namespace fs = std::filesystem;
using statlume::testing::TPrivateRuntime;
using statlume::testing::TTempFolder;

TEST(PublisherLock, OnePublisherPerLockFile)
{
    TTempFolder folder;
    const auto path = PublisherLockPath(folder.Path, "/statlume-lock-test");
    EXPECT_FALSE(IsPublisherRunning(path));
    {
        const auto first = TPublisherLock::TryAcquire(path);
        ASSERT_TRUE(first.has_value());
        EXPECT_TRUE(IsPublisherRunning(path));
        EXPECT_FALSE(TPublisherLock::TryAcquire(path).has_value());
    }
    EXPECT_FALSE(IsPublisherRunning(path));
    EXPECT_TRUE(TPublisherLock::TryAcquire(path).has_value());
}

TEST(PublisherLock, KnowsWhenItsFileIsGoneOrReplaced)
{
    TTempFolder folder;
    const auto path = PublisherLockPath(folder.Path, "/statlume-lock-test");
    {
        const auto lock = TPublisherLock::TryAcquire(path);
        ASSERT_TRUE(lock.has_value());
        EXPECT_TRUE(lock->StillHeld());
        fs::remove(path);
        EXPECT_FALSE(lock->StillHeld());
    }
    const auto lock = TPublisherLock::TryAcquire(path);
    ASSERT_TRUE(lock.has_value());
    fs::remove(path);
    std::ofstream(path) << "1\n";
    EXPECT_FALSE(lock->StillHeld());
}

TEST(PublisherLock, RefusesALinkInPlaceOfTheFile)
{
    TTempFolder folder;
    const auto path = PublisherLockPath(folder.Path, "/x");
    fs::create_symlink(folder.Path / "elsewhere", path);
    EXPECT_THROW(TPublisherLock::TryAcquire(path), std::system_error);
    EXPECT_FALSE(fs::exists(folder.Path / "elsewhere"));
}

TEST(PublisherLock, NamesOneFilePerBlock)
{
    EXPECT_EQ(PublisherLockPath("/run/u", "/$M$B$M$5$D$"), "/run/u/statlume-sensord.pid");
    EXPECT_EQ(PublisherLockPath("/run/u", "/test-1.a"), "/run/u/statlume-sensord-test-1.a.pid");
    EXPECT_EQ(PublisherLockPath("/run/u", "/a b$"), "/run/u/statlume-sensord-a_b_.pid");
}

TEST(PublisherLock, RuntimeFolderMustBePrivate)
{
    TPrivateRuntime runtime;
    EXPECT_EQ(RuntimeFolder(), runtime.Folder.Path);

    TTempFolder cache;
    const testing::TScopedEnv cacheHome("XDG_CACHE_HOME", cache.Path.string());
    ::chmod(runtime.Folder.Path.c_str(), 0755);
    const auto fallback = RuntimeFolder();
    ASSERT_TRUE(fallback.has_value());
    EXPECT_NE(*fallback, runtime.Folder.Path);
    EXPECT_NE(*fallback, "/tmp/statlume-" + std::to_string(::geteuid())) << "a name others know";
    struct stat info
    {
    };
    ASSERT_EQ(::lstat(fallback->c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 077, 0u);
    EXPECT_EQ(info.st_uid, ::geteuid());
    fs::remove_all(*fallback);
}

} // namespace
} // namespace statlume
