#include "display/example_folders.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

TEST(ExampleFolders, UserThenBesideTheProgramThenTheSystemFolders)
{
    struct Row
    {
        const char* name;
        TExamplePlaces places;
        std::vector<std::string> expected;
    };
    std::string manyDirs = "::";
    std::vector<std::string> firstDirs;
    for (std::size_t i = 0; i < 2 * MaxDataDirs; ++i) {
        manyDirs += "/d" + std::to_string(i) + ":";
        if (i < MaxDataDirs)
            firstDirs.push_back("/d" + std::to_string(i) + "/statlume/templates");
    }
    const Row rows[] = {
        {"defaults, installed",
         {.Home = "/home/u", .ProgramFolder = "/usr/bin", .DataFromProgram = "../share"},
         {"/home/u/.local/share/statlume/templates", "/usr/share/statlume/templates",
          "/usr/local/share/statlume/templates"}},
        {"build tree, XDG folders set",
         {.DataHome = "/d/",
          .Home = "/home/u",
          .DataDirs = "/a:/b/",
          .ProgramFolder = "/b/src",
          .DataFromProgram = "../share"},
         {"/d/statlume/templates", "/b/share/statlume/templates", "/a/statlume/templates",
          "/b/statlume/templates"}},
        {"relative and empty entries ignored, repeats listed once",
         {.DataHome = "rel", .DataDirs = "::x:/a:/a/:/b", .DataFromProgram = "../share"},
         {"/a/statlume/templates", "/b/statlume/templates"}},
        {"no program folder, absolute data folder refused",
         {.DataDirs = "/a", .ProgramFolder = "/usr/bin", .DataFromProgram = "/usr/share"},
         {"/a/statlume/templates"}},
        {"a long XDG_DATA_DIRS is cut", {.DataDirs = manyDirs}, firstDirs},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::string> folders;
        for (const auto& folder : ExampleFolders(row.places))
            folders.push_back(folder.string());
        EXPECT_EQ(folders, row.expected);
    }
}

} // namespace
} // namespace statlume
