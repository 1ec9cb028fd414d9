#include <cstdlib>
#include <fstream>

#include "platform/linux/starter_folders.h"

#include <gtest/gtest.h>

namespace statlume::platform {
namespace {

namespace fs = std::filesystem;

TEST(StarterFolders, BesideTheProgramThenTheInstalledFolder)
{
    struct Row
    {
        const char* name;
        fs::path executableFolder;
        std::string_view installed;
        std::vector<fs::path> expected;
    };
    const Row rows[] = {
        {"installed in /usr", "/usr/bin", "../lib/statlume", {"/usr/bin", "/usr/lib/statlume"}},
        {"multiarch",
         "/usr/bin",
         "../lib/x86_64-linux-gnu/statlume",
         {"/usr/bin", "/usr/lib/x86_64-linux-gnu/statlume"}},
        {"same folder once", "/opt/s", ".", {"/opt/s"}},
        {"absolute installed folder is not used", "/usr/bin", "/usr/lib/statlume", {"/usr/bin"}},
        {"unknown executable", "", "../lib/statlume", {}},
        {"relative executable folder", "bin", "../lib/statlume", {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(SensorStarterFolders(row.executableFolder, row.installed), row.expected);
    }
}

TEST(StarterFolders, TheFirstFolderHoldingTheLibraryWins)
{
    std::string pattern = (fs::temp_directory_path() / "statlume-starter-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const fs::path root = pattern;
    for (const char* folder : {"bin", "lib", "both"})
        fs::create_directories(root / folder);
    std::ofstream(root / "lib/MBMStarter.so") << "x";
    std::ofstream(root / "both/MBMStarter.so") << "x";

    struct Row
    {
        const char* name;
        std::vector<fs::path> folders;
        fs::path expected;
    };
    const Row rows[] = {
        {"installed folder when none beside", {root / "bin", root / "lib"}, root / "lib"},
        {"beside the program first", {root / "both", root / "lib"}, root / "both"},
        {"none", {root / "bin"}, {}},
        {"no folders", {}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(FirstFolderHolding(row.folders, "MBMStarter.so"), row.expected);
    }
    fs::remove_all(root);
}

TEST(StarterFolders, TheBuildsInstalledFolderIsRelative)
{
    EXPECT_FALSE(InstalledStarterFolder().empty());
    EXPECT_TRUE(fs::path(InstalledStarterFolder()).is_relative());
}

} // namespace
} // namespace statlume::platform
