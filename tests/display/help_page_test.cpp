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

// The page as laid down, line by line; only the three link addresses are ours.
const std::vector<std::string> ExpectedLines = {
    "<HTML><HEAD><TITLE>Statlume Network Configuration</TITLE><BODY bgColor=#ffffff><H4>Basic "
    "Network Setup</H4>",
    "Statlume can also be configured to monitor remote computers real-time over a LAN or the "
    "internet. To minimize the amount of network traffic the application generates, the update "
    "interval is by default twice the value of a local client.",
    " If you want to run Statlume in Client/Server mode, just follow these two easy steps:<P>",
    "<UL><LI>On the server, select \"Act as Server\" from the menu and enter the port number on "
    "which Statlume should communicate. If you don't know what this means leave the default "
    "setting alone.",
    " You may also enter a password if you want to secure your connection.",
    "<LI>On the client, start Statlume using this syntax: <BR><BR><FONT face=\"Courier "
    "New,Courier,Monaco\">statlume.exe -c -i<I>ip-of-server</I> -p<I>port-number</I> "
    "-d<I>password</I></FONT> </LI></UL>",
    "<H4>Explanation:</H4> <TABLE cellSpacing=2 cellPadding=0 border=0>",
    "<TR><TD>-c</TD><TD>indicates Statlume should start in client mode</TD></TR>",
    "<TR><TD>-i</TD><TD>indicates the IP address that the Statlume server is running on. Note: DNS "
    "name works too now.</TD></TR>",
    "<TR><TD>-p</TD><TD>indicates the port that the server is using",
    "<TR><TD>-d</TD><TD>the password will prevent unauthorized connections and encrypt the data",
    "</TABLE><P>So if the server has IP address 10.11.12.13 and uses port 6130 (the default) your "
    "command line will be:",
    "<BLOCKQUOTE><FONT face=\"Courier New,Courier,Monaco\">statlume.exe -c -i10.11.12.13 "
    "-p6130</FONT></BLOCKQUOTE><BR>",
    "<B>Firewall Configuration:</B><BR>",
    "For servers behind a NAT router, be sure to use the public IP address and of course to "
    "forward the port to the Statlume server.",
    "In case you want to monitor your system when you are behind a",
    "firewall, it is possible to run a Statlume client though a SOCKS server.",
    "In order to do this, download and install <A",
    "href=\"https://www.rfc-editor.org/rfc/rfc1928\"",
    "target=_blank>SocksCap</A>, which will allow you to SOCKSify almost any",
    "application. For more information on SOCKS, please visit <A",
    "href=\"https://en.wikipedia.org/wiki/SOCKS\" target=_blank>this</A> website.",
    "<P>Most of this text came from the Statlume website, at <A "
    "href=\"https://statlume.org\">https://statlume.org</A>. Check it out!",
};

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

TEST(HelpPage, TextIsTheTwentyThreeLinesWithCrLf)
{
    std::string expected;
    for (const std::string& line : ExpectedLines) {
        expected += line + "\r\n";
    }
    ASSERT_EQ(ExpectedLines.size(), 23u);
    EXPECT_EQ(HelpPageText(), expected);
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
