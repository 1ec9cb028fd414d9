#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/linux/autostart.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace statlume::platform {
namespace {

namespace fs = std::filesystem;

TEST(Autostart, PathFollowsTheConfigFolderRules)
{
    struct Row
    {
        const char* name;
        std::optional<std::string> configHome;
        std::optional<std::string> home;
        std::string expected;
    };
    const Row rows[] = {
        {"config home", "/cfg", "/home/u", "/cfg/autostart/statlume.desktop"},
        {"no config home", std::nullopt, "/home/u", "/home/u/.config/autostart/statlume.desktop"},
        {"relative config home is ignored", "cfg", "/home/u",
         "/home/u/.config/autostart/statlume.desktop"},
        {"empty config home is ignored", "", "/home/u",
         "/home/u/.config/autostart/statlume.desktop"},
        {"nothing usable", "cfg", "home", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(AutostartPath(row.configHome, row.home), row.expected);
    }
}

std::string ExecLine(const std::string& entry)
{
    std::istringstream in(entry);
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with("Exec="))
            return line.substr(5);
    }
    return "(none)";
}

TEST(Autostart, ExecQuotesWhatTheDesktopEntryFormatReserves)
{
    struct Row
    {
        const char* name;
        std::string executable;
        std::string exec; // "(none)": no entry at all
    };
    const Row rows[] = {
        {"plain", "/usr/bin/statlume", "/usr/bin/statlume"},
        {"space", "/opt/my apps/statlume", "\"/opt/my apps/statlume\""},
        {"dollar and quote", "/opt/a$b\"c/statlume", "\"/opt/a\\\\$b\\\\\"c/statlume\""},
        {"backslash", "/opt/a\\b/statlume", "\"/opt/a\\\\\\\\b/statlume\""},
        {"percent stays literal", "/opt/100%/statlume", "/opt/100%%/statlume"},
        {"relative", "statlume", "(none)"},
        {"newline", "/usr/bin/stat\nlume", "(none)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ExecLine(AutostartEntry(row.executable)), row.exec);
    }
}

class AutostartFile : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "statlume-autostart-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        Folder = pattern;
        Path = AutostartPath((Folder / "config").string(), std::nullopt);
    }
    void TearDown() override { fs::remove_all(Folder); }

    static std::string Contents(const std::string& path)
    {
        std::ifstream in(path);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    fs::path Folder;
    std::string Path;
};

TEST_F(AutostartFile, EnableWritesTheEntryAndDisableRemovesIt)
{
    const mode_t before = ::umask(077);
    const TAutostartResult enabled = EnableAutostart(Path, "/usr/bin/statlume");
    ::umask(before);
    ASSERT_TRUE(enabled.Ok()) << enabled.Error;
    EXPECT_TRUE(IsAutostartOn(Path));
    EXPECT_EQ(Contents(Path), AutostartEntry("/usr/bin/statlume"));
    struct stat info
    {
    };
    ASSERT_EQ(::stat(Path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0644u);
    ASSERT_EQ(::stat((Folder / "config").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0700u) << "a new config folder is private";
    EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(Path).parent_path()), {}), 1)
        << "no temporary file is left";

    EXPECT_TRUE(DisableAutostart(Path).Ok());
    EXPECT_FALSE(IsAutostartOn(Path));
    EXPECT_TRUE(DisableAutostart(Path).Ok()) << "already off is no error";
}

TEST_F(AutostartFile, APlantedLinkIsReplacedNotFollowed)
{
    fs::create_directories(fs::path(Path).parent_path());
    const fs::path target = Folder / "target";
    std::ofstream(target) << "keep";
    fs::create_symlink(target, Path);

    ASSERT_TRUE(EnableAutostart(Path, "/usr/bin/statlume").Ok());
    EXPECT_EQ(Contents(target.string()), "keep");
    EXPECT_FALSE(fs::is_symlink(Path));
}

TEST_F(AutostartFile, FailuresNameTheFileAndLeaveNothingBehind)
{
    // A folder in the entry's place cannot be replaced, even by root.
    fs::create_directories(Path);
    std::ofstream(fs::path(Path) / "inside") << "x";
    const TAutostartResult result = EnableAutostart(Path, "/usr/bin/statlume");
    EXPECT_FALSE(result.Ok());
    EXPECT_NE(result.Error.find(Path), std::string::npos) << result.Error;
    EXPECT_FALSE(IsAutostartOn(Path));
    EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(Path).parent_path()), {}), 1)
        << "the temporary file is removed";
    EXPECT_FALSE(EnableAutostart(Path, "relative/statlume").Ok());
}

} // namespace
} // namespace statlume::platform
