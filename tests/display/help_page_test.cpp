#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "display/help_page.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace statlume {
namespace {

namespace fs = std::filesystem;

class HelpPageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/statlume-help-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        Folder = pattern;
    }
    void TearDown() override { fs::remove_all(Folder); }

    static std::string ReadFile(const fs::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    fs::path Folder;
};

TEST(HelpPage, NamesThisSystemsProgramsAndAdviceThatWorksHere)
{
    const std::string page = HelpPageText();
    std::size_t lines = 0;
    for (std::size_t at = page.find("\r\n"); at != std::string::npos;
         at = page.find("\r\n", at + 2)) {
        ++lines;
    }
    EXPECT_EQ(lines, 23u);
    EXPECT_TRUE(page.ends_with("\r\n"));
    for (const char* wanted :
         {"statlume -c -i10.11.12.13 -p6130", "statlume-cli --serve",
          "ssh -N -L 6130:localhost:6130", "statlume -c -ilocalhost -p6130", "man statlume-cli"}) {
        SCOPED_TRACE(wanted);
        EXPECT_NE(page.find(wanted), std::string::npos);
    }
    for (const char* foreign : {".exe", "Socks", "SOCKS"}) {
        SCOPED_TRACE(foreign);
        EXPECT_EQ(page.find(foreign), std::string::npos);
    }
}

TEST_F(HelpPageTest, WritesThePageInTheFolder)
{
    const THelpPageResult result = WriteHelpPage(Folder.string());
    ASSERT_TRUE(result.Ok()) << result.Error;
    EXPECT_EQ(result.Path, (Folder / "slnettmp.htm").string());
    EXPECT_EQ(ReadFile(result.Path), HelpPageText());
    // Written again, the page is replaced, not appended to.
    ASSERT_TRUE(WriteHelpPage(Folder.string()).Ok());
    EXPECT_EQ(ReadFile(result.Path), HelpPageText());
    EXPECT_EQ(std::distance(fs::directory_iterator(Folder), fs::directory_iterator()), 1);
}

TEST_F(HelpPageTest, PlantedLinkIsReplacedNotFollowed)
{
    const fs::path victim = Folder / "victim.txt";
    std::ofstream(victim) << "keep me";
    fs::create_symlink(victim, Folder / "slnettmp.htm");
    ASSERT_TRUE(WriteHelpPage(Folder.string()).Ok());
    EXPECT_EQ(ReadFile(victim), "keep me");
    EXPECT_FALSE(fs::is_symlink(Folder / "slnettmp.htm"));
    EXPECT_EQ(ReadFile(Folder / "slnettmp.htm"), HelpPageText());
}

TEST_F(HelpPageTest, FailureIsReportedWithTheFileName)
{
    const THelpPageResult result = WriteHelpPage((Folder / "missing").string());
    EXPECT_FALSE(result.Ok());
    EXPECT_NE(result.Error.find("slnettmp.htm"), std::string::npos) << result.Error;
}

} // namespace
} // namespace statlume
