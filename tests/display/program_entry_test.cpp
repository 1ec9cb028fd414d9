#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "display/program_entry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace statlume {
namespace {

namespace fs = std::filesystem;

class TFakeHold : public platform::TInstanceHold
{
public:
    void ListenForRestore(std::function<void()>) override {}
};

// Another copy holds the lock when Held is set.
class TFakeInstance : public platform::TSingleInstance
{
public:
    platform::TAcquireResult TryAcquire() override
    {
        ++Acquires;
        platform::TAcquireResult result;
        if (Broken) {
            result.Error = "lock folder unusable";
        } else if (Held) {
            result.State = platform::TAcquireState::HeldElsewhere;
        } else {
            result.State = platform::TAcquireState::Acquired;
            result.Hold = std::make_unique<TFakeHold>();
        }
        return result;
    }
    bool SignalRunning() override
    {
        ++Signals;
        return true;
    }
    std::string UserFolder() override { return Folder; }

    bool Held = false;
    bool Broken = false;
    int Acquires = 0;
    int Signals = 0;
    std::string Folder;
};

class ProgramEntryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/statlume-entry-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        Folder = pattern;
        Instance.Folder = (Folder / "user").string();
        fs::create_directory(Instance.Folder);
    }
    void TearDown() override { fs::remove_all(Folder); }

    TEntryResult Run(const std::vector<std::string>& args, std::optional<std::string> temp)
    {
        TEntryServices services{Instance, std::move(temp),
                                [this](const std::string& path, std::string& error) {
                                    Opened.push_back(path);
                                    error = "no opener";
                                    return OpenWorks;
                                },
                                [this](const std::string& message) { Reports.push_back(message); }};
        return ProgramEntry(args, services);
    }

    fs::path Folder;
    TFakeInstance Instance;
    std::vector<std::string> Opened;
    std::vector<std::string> Reports;
    bool OpenWorks = true;
};

TEST_F(ProgramEntryTest, Decisions)
{
    struct Row
    {
        const char* name;
        std::vector<std::string> args;
        bool held;
        TEntryAction action;
        bool holdsLock;
        int acquires;
        int signals;
    };
    const Row rows[] = {
        {"first plain start", {}, false, TEntryAction::RunDisplay, true, 1, 0},
        {"second plain start", {}, true, TEntryAction::SignalledRunningCopy, false, 1, 1},
        {"client switch skips the test", {"-c"}, true, TEntryAction::RunDisplay, false, 0, 0},
        {"capital C too", {"-C", "-ihost"}, true, TEntryAction::RunDisplay, false, 0, 0},
        {"help before c", {"-?", "-c"}, true, TEntryAction::HelpShown, false, 0, 0},
        {"help after c", {"-c", "-?"}, false, TEntryAction::HelpShown, false, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Instance.Held = row.held;
        Instance.Acquires = Instance.Signals = 0;
        const TEntryResult result = Run(row.args, Folder.string());
        EXPECT_EQ(result.Action, row.action);
        EXPECT_EQ(result.Hold != nullptr, row.holdsLock);
        EXPECT_EQ(result.ExitCode(), 0);
        EXPECT_EQ(Instance.Acquires, row.acquires);
        EXPECT_EQ(Instance.Signals, row.signals);
    }
}

TEST_F(ProgramEntryTest, UnusableLockStillStartsTheDisplay)
{
    Instance.Broken = true;
    const TEntryResult result = Run({}, std::nullopt);
    EXPECT_EQ(result.Action, TEntryAction::RunDisplay);
    ASSERT_EQ(Reports.size(), 1u);
    EXPECT_EQ(Reports[0], "lock folder unusable");
}

TEST_F(ProgramEntryTest, HelpGoesToTempAndIsOpened)
{
    const TEntryResult result = Run({"-?"}, Folder.string());
    EXPECT_EQ(result.Action, TEntryAction::HelpShown);
    ASSERT_EQ(Opened.size(), 1u);
    EXPECT_EQ(Opened[0], (Folder / "slnettmp.htm").string());
    EXPECT_TRUE(fs::exists(Opened[0]));
}

TEST_F(ProgramEntryTest, HelpWithoutTempGoesToTheUsersFolder)
{
    const TEntryResult result = Run({"-?"}, std::nullopt);
    EXPECT_EQ(result.Action, TEntryAction::HelpShown);
    EXPECT_TRUE(fs::exists(fs::path(Instance.Folder) / "slnettmp.htm"));
    EXPECT_FALSE(fs::exists(Folder / "slnettmp.htm"));
}

TEST_F(ProgramEntryTest, OpenerFailureIsReportedNotFatal)
{
    OpenWorks = false;
    const TEntryResult result = Run({"-?"}, Folder.string());
    EXPECT_EQ(result.Action, TEntryAction::HelpShown);
    EXPECT_EQ(result.ExitCode(), 0);
    EXPECT_NE(result.Message.find((Folder / "slnettmp.htm").string()), std::string::npos);
    EXPECT_NE(result.Message.find("no opener"), std::string::npos);
}

TEST_F(ProgramEntryTest, UnwritablePageFailsWithNonZeroExit)
{
    struct Row
    {
        const char* name;
        std::optional<std::string> temp;
        std::string userFolder;
    };
    const Row rows[] = {
        {"TEMP and the private folder missing", (Folder / "nowhere").string(),
         (Folder / "nowhere either").string()},
        {"no TEMP and no private folder", std::nullopt, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Instance.Folder = row.userFolder;
        Opened.clear();
        const TEntryResult result = Run({"-?"}, row.temp);
        EXPECT_EQ(result.Action, TEntryAction::HelpFailed);
        EXPECT_NE(result.ExitCode(), 0);
        EXPECT_FALSE(result.Message.empty());
        EXPECT_TRUE(Opened.empty());
    }
}

TEST_F(ProgramEntryTest, PageThatTempRefusesGoesToTheUsersFolder)
{
    constexpr uid_t nobody = 65534;
    const bool root = ::geteuid() == 0;
    struct Row
    {
        const char* name;
        std::function<void(const fs::path& temp)> plant;
        bool asNobody;
    };
    const Row rows[] = {
        {"a folder at the page's name",
         [](const fs::path& temp) { fs::create_directories(temp / "slnettmp.htm" / "inside"); },
         false},
        // Only root can plant another user's file; the program then runs as that other user.
        {"another user's page in a sticky TEMP",
         [](const fs::path& temp) {
             ::chmod(temp.c_str(), 01777);
             std::ofstream(temp / "slnettmp.htm") << "planted";
         },
         true},
    };
    ::chmod(Folder.c_str(), 0755);
    int index = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.asNobody && !root) {
            continue;
        }
        const fs::path temp = Folder / ("temp" + std::to_string(index++));
        fs::create_directory(temp);
        row.plant(temp);
        fs::remove(fs::path(Instance.Folder) / "slnettmp.htm");
        if (row.asNobody) {
            ASSERT_EQ(::chown(Instance.Folder.c_str(), nobody, nobody), 0);
        }
        Opened.clear();
        const pid_t child = ::fork();
        if (child == 0) {
            if (row.asNobody && (::setgid(nobody) != 0 || ::setuid(nobody) != 0)) {
                ::_exit(2);
            }
            const TEntryResult result = Run({"-?"}, temp.string());
            const bool fellBack = result.Action == TEntryAction::HelpShown && Opened.size() == 1 &&
                                  Opened[0] == Instance.Folder + "/slnettmp.htm";
            ::_exit(fellBack ? 0 : 1);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        std::ifstream page(fs::path(Instance.Folder) / "slnettmp.htm", std::ios::binary);
        const std::string text{std::istreambuf_iterator<char>(page), {}};
        EXPECT_EQ(text, HelpPageText());
        EXPECT_EQ(::chown(Instance.Folder.c_str(), ::geteuid(), ::getegid()), 0);
    }
}

} // namespace
} // namespace statlume
