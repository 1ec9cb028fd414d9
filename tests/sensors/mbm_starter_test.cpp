#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/linux/dl_sensor_starter.h"
#include "platform/sensor_block.h"
#include "sensors/publisher_lock.h"
#include "sensors/test_process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace statlume {
namespace {

namespace fs = std::filesystem;
using namespace statlume::testing;

// A stand-in publisher beside a copy of the real library: it records where its output goes,
// whether it inherited the test's descriptor and its arguments, then ends.
constexpr const char* FakePublisher = R"(#!/bin/sh
inherited=no
[ -e /proc/$$/fd/50 ] && inherited=yes
echo "$(readlink /proc/$$/fd/1) $inherited $*" > "$STATLUME_TEST_MARKER"
)";

class MbmStarter : public ::testing::Test
{
protected:
    void SetUp() override
    {
        fs::copy_file(STATLUME_STARTER_PATH, Folder.Path / "MBMStarter.so");
        Marker = Folder.Path / "marker";
        ::setenv("STATLUME_TEST_MARKER", Marker.c_str(), 1);
    }
    void TearDown() override { ::unsetenv("STATLUME_TEST_MARKER"); }

    void AddFakePublisher() const
    {
        const auto script = Folder.Path / "statlume-sensord";
        std::ofstream(script) << FakePublisher;
        fs::permissions(script, fs::perms::owner_all);
    }

    // Loads the copy and calls Start, as the program does.
    void CallStart() const
    {
        auto library = platform::TDlSensorStarter(Folder.Path).Load();
        ASSERT_NE(library, nullptr);
        EXPECT_TRUE(library->Start());
    }

    TPrivateRuntime Runtime;
    TTempFolder Folder;
    fs::path Marker;
};

TEST_F(MbmStarter, LaunchesThePublisherDetachedAndWaitsForIt)
{
    AddFakePublisher();
    // A descriptor the program left open without close-on-exec must not reach the publisher.
    const int leaked = ::open("/dev/null", O_RDONLY);
    ASSERT_EQ(::dup2(leaked, 50), 50);
    ::close(leaked);

    const auto before = std::chrono::steady_clock::now();
    CallStart();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(3));
    ::close(50);

    std::ifstream in(Marker);
    ASSERT_TRUE(in.is_open()) << "Start returns after the launched process has ended";
    std::string output;
    std::string inherited;
    std::string args;
    in >> output >> inherited;
    std::getline(in >> std::ws, args);
    EXPECT_EQ(output, "/dev/null") << "never writes into the program's terminal";
    EXPECT_EQ(inherited, "no");
    EXPECT_EQ(args, "--detach");
}

TEST_F(MbmStarter, LaunchesNothingWhileAPublisherRuns)
{
    AddFakePublisher();
    const auto lock = TPublisherLock::TryAcquire(
        PublisherLockPath(Runtime.Folder.Path, platform::SensorBlockName));
    ASSERT_TRUE(lock.has_value());
    CallStart();
    EXPECT_FALSE(fs::exists(Marker));
}

TEST_F(MbmStarter, FindsThePublisherInTheInstalledProgramsFolder)
{
    // Deep enough that the way from the library to the programs stays inside the test's folder.
    const fs::path libraryFolder = Folder.Path / "usr/lib/arch/statlume";
    const fs::path programsFolder = (libraryFolder / STATLUME_BIN_FROM_STARTER).lexically_normal();
    ASSERT_TRUE(programsFolder.string().starts_with(Folder.Path.string()));
    fs::create_directories(libraryFolder);
    fs::create_directories(programsFolder);
    fs::rename(Folder.Path / "MBMStarter.so", libraryFolder / "MBMStarter.so");
    const auto script = programsFolder / "statlume-sensord";
    std::ofstream(script) << FakePublisher;
    fs::permissions(script, fs::perms::owner_all);

    auto library = platform::TDlSensorStarter(libraryFolder).Load();
    ASSERT_NE(library, nullptr);
    EXPECT_TRUE(library->Start());
    EXPECT_TRUE(fs::exists(Marker));
}

TEST_F(MbmStarter, WithoutThePublisherBesideItStartJustReturns)
{
    CallStart();
    EXPECT_FALSE(fs::exists(Marker));
}

} // namespace
} // namespace statlume
