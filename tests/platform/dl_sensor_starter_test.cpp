#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "platform/linux/dl_sensor_starter.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

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
        std::function<void(const fs::path&)> make;
        const char* refusal; // null: nothing to report
    };
    const TCase cases[] = {
        {"no file", [](const fs::path&) {}, nullptr},
        {"not a library", [](const fs::path& file) { std::ofstream(file) << "not an ELF file\n"; },
         nullptr},
        // Opened without blocking: a FIFO in its place never hangs the starter.
        {"FIFO", [](const fs::path& file) { ::mkfifo(file.c_str(), 0600); },
         "is not a regular file"},
        {"symbolic link", [](const fs::path& file) { fs::create_symlink("/dev/null", file); },
         "is a symbolic link"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto file = Folder / SensorStarterFileName;
        fs::remove(file);
        c.make(file);
        std::vector<std::string> messages;
        const auto sink = [&](const std::string& line) { messages.push_back(line); };
        EXPECT_EQ(TDlSensorStarter(Folder, sink).Load(), nullptr);
        if (c.refusal == nullptr) {
            EXPECT_TRUE(messages.empty());
            continue;
        }
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_NE(messages[0].find(c.refusal), std::string::npos) << messages[0];
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
