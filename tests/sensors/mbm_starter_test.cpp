#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "collect/sensor_step.h"
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

TEST_F(MbmStarter, FindsThePublisherInTheInstalledProgramsFolderOnlyWhenThatIsTrusted)
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

    struct TRow
    {
        const char* name;
        fs::perms folderMode;
        bool launched;
    };
    // Anyone who may write the folder could swap the program between the check and the run.
    const TRow rows[] = {{"folder writable by the group", fs::perms(0775), false},
                         {"private folder", fs::perms(0755), true}};
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.name);
        fs::permissions(programsFolder, row.folderMode);
        auto library = platform::TDlSensorStarter(libraryFolder).Load();
        ASSERT_NE(library, nullptr);
        EXPECT_TRUE(library->Start());
        EXPECT_EQ(fs::exists(Marker), row.launched);
    }
}

TEST_F(MbmStarter, WithoutThePublisherBesideItStartJustReturns)
{
    CallStart();
    EXPECT_FALSE(fs::exists(Marker));
}

// Refusal messages, taken from whichever thread loads.
struct TMessages
{
    platform::TStarterMessage Sink()
    {
        return [this](const std::string& line) {
            const std::lock_guard lock(Lock);
            Lines.push_back(line);
        };
    }
    std::vector<std::string> Taken()
    {
        const std::lock_guard lock(Lock);
        return Lines;
    }

    std::mutex Lock;
    std::vector<std::string> Lines;
};

// The program may run as root: a library that anyone but root and this user owns or could
// have written is never loaded, and the refusal says which file and why.
TEST_F(MbmStarter, LibraryOthersCouldHaveWrittenIsRefused)
{
    AddFakePublisher();
    const auto library = Folder.Path / "MBMStarter.so";
    struct TCase
    {
        const char* name;
        fs::perms folder;
        fs::perms file;
        const char* why;
    };
    const TCase cases[] = {
        {"folder writable by all", fs::perms::all, fs::perms(0755), "its folder is writable"},
        {"folder writable by the group", fs::perms(0775), fs::perms(0755),
         "its folder is writable"},
        {"library writable by others", fs::perms(0700), fs::perms(0757), "it is writable"},
        {"library writable by the group", fs::perms(0700), fs::perms(0775), "it is writable"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        fs::permissions(Folder.Path, c.folder);
        fs::permissions(library, c.file);
        TMessages messages;
        EXPECT_EQ(platform::TDlSensorStarter(Folder.Path, messages.Sink()).Load(), nullptr);
        const auto lines = messages.Taken();
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_NE(lines[0].find(library.string()), std::string::npos) << lines[0];
        EXPECT_NE(lines[0].find(c.why), std::string::npos) << lines[0];
    }
    fs::permissions(Folder.Path, fs::perms(0700));
    fs::permissions(library, fs::perms(0755));
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(library.c_str(), 65534, 65534), 0);
        TMessages messages;
        EXPECT_EQ(platform::TDlSensorStarter(Folder.Path, messages.Sink()).Load(), nullptr);
        ASSERT_EQ(messages.Taken().size(), 1u);
        EXPECT_NE(messages.Taken()[0].find("owned by user 65534"), std::string::npos);
        ASSERT_EQ(::chown(library.c_str(), 0, 0), 0);
    }
    EXPECT_FALSE(fs::exists(Marker));
    // Owned by this user and written by nobody else: loaded, and Start finds its folder.
    CallStart();
    EXPECT_TRUE(fs::exists(Marker));
}

// Counts reads of a block that is not there.
class TMissingBlock final : public platform::TSensorBlock
{
public:
    explicit TMissingBlock(int& reads)
        : Reads(reads)
    {
    }
    std::optional<platform::TSensorWords> Read() const override
    {
        ++Reads;
        return std::nullopt;
    }

private:
    int& Reads;
};

TEST_F(MbmStarter, RefusedLibraryLeavesTheSensorStepReadingWithoutIt)
{
    AddFakePublisher();
    fs::permissions(Folder.Path, fs::perms::all);
    TMessages messages;
    int reads = 0;
    TSensorStep step(
        std::make_unique<TMissingBlock>(reads),
        std::make_unique<platform::TDlSensorStarter>(Folder.Path, messages.Sink()),
        [](std::function<void()>) {}, false);
    TRawData data;
    step.Run(data);
    ASSERT_TRUE(Eventually([&] { return !messages.Taken().empty(); }));
    step.Run(data);
    step.Run(data);
    EXPECT_EQ(reads, 2);
    EXPECT_FALSE(step.LibraryLoaded());
    EXPECT_TRUE(step.StartPending());
    EXPECT_EQ(data.Temps[0], 0);
    EXPECT_FALSE(fs::exists(Marker));
    fs::permissions(Folder.Path, fs::perms(0700));
}

} // namespace
} // namespace statlume
