#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/linux/dl_sensor_starter.h"

#include <gtest/gtest.h>

namespace statlume::platform {
namespace {

namespace fs = std::filesystem;

class DlSensorStarter : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "statlume-dl-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        Folder = pattern;
    }
    void TearDown() override { fs::remove_all(Folder); }

    fs::path Folder;
};

TEST_F(DlSensorStarter, LoadsNothingWithoutAUsableFile)
{
    struct TCase
    {
        const char* name;
        const char* contents; // null: no file
    };
    const TCase cases[] = {{"no file", nullptr}, {"not a library", "not an ELF file\n"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(Folder / SensorStarterFileName);
        if (c.contents != nullptr)
            std::ofstream(Folder / SensorStarterFileName) << c.contents;
        EXPECT_EQ(TDlSensorStarter(Folder).Load(), nullptr);
    }
}

TEST_F(DlSensorStarter, NeverSearchesTheLoaderPath)
{
    EXPECT_EQ(TDlSensorStarter(fs::path()).Load(), nullptr);
    EXPECT_EQ(TDlSensorStarter(fs::path("relative")).Load(), nullptr);
}

TEST(ExecutableFolder, IsTheFolderOfTheRunningProgram)
{
    EXPECT_EQ(ExecutableFolder(), fs::canonical(fs::path(STATLUME_BINARY_DIR) / "tests"));
}

} // namespace
} // namespace statlume::platform
