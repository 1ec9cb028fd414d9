#include "settings/command_line.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

TEST(CommandLine, EntrySwitchesWalkInOrder)
{
    struct Row
    {
        const char* name;
        std::vector<std::string> args;
        bool skip;
        bool help;
    };
    const Row rows[] = {
        {"nothing", {}, false, false},
        {"lower c", {"-c"}, true, false},
        {"capital C", {"-C"}, true, false},
        {"c only as whole argument", {"-cx", "-ihost"}, false, false},
        {"help alone", {"-?"}, false, true},
        {"help then c", {"-?", "-c"}, false, true},
        {"c then help", {"-c", "-?"}, true, true},
        {"help is exact", {"-?x", "/?"}, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const TEntrySwitches switches = ParseEntrySwitches(row.args);
        EXPECT_EQ(switches.SkipInstanceTest, row.skip);
        EXPECT_EQ(switches.ShowHelp, row.help);
    }
}

TEST(CommandLine, ClientSwitches)
{
    struct Row
    {
        const char* name;
        std::vector<std::string> args;
        bool client;
        std::string host;
        std::uint16_t port;
        std::optional<std::string> password;
        bool hide;
        platform::TGivenRoots roots = {};
        std::string error = {};
    };
    const Row rows[] = {
        {"none", {}, false, "", 6130, std::nullopt, false},
        {"full client",
         {"-c", "-i10.11.12.13", "-p6130"},
         true,
         "10.11.12.13",
         6130,
         std::nullopt,
         false},
        {"capital C and host in capitals",
         {"-C", "-iMyServer.LAN"},
         true,
         "myserver.lan",
         6130,
         std::nullopt,
         false},
        {"c without i stays local", {"-c", "-p7000"}, false, "", 7000, std::nullopt, false},
        {"empty host stays local", {"-c", "-i"}, false, "", 6130, std::nullopt, false},
        {"host without c is kept", {"-ihost"}, false, "host", 6130, std::nullopt, false},
        {"last host wins", {"-c", "-ia", "-ib"}, true, "b", 6130, std::nullopt, false},
        {"port not a number", {"-pabc"}, false, "", 6130, std::nullopt, false},
        {"port empty", {"-p"}, false, "", 6130, std::nullopt, false},
        {"port zero", {"-p0"}, false, "", 6130, std::nullopt, false},
        {"port too large", {"-p70000"}, false, "", 6130, std::nullopt, false},
        {"port negative", {"-p-5"}, false, "", 6130, std::nullopt, false},
        {"port trailing text", {"-p80x"}, false, "", 6130, std::nullopt, false},
        {"port highest", {"-p65535"}, false, "", 65535, std::nullopt, false},
        {"port with plus", {"-p+8080"}, false, "", 8080, std::nullopt, false},
        {"bad port after good one", {"-p8080", "-pxx"}, false, "", 6130, std::nullopt, false},
        {"password lower-cased", {"-dSecRet"}, false, "", 6130, "secret", false},
        {"empty password", {"-d"}, false, "", 6130, "", false},
        {"h prefix", {"-hide"}, false, "", 6130, std::nullopt, true},
        {"capital H", {"-H"}, false, "", 6130, std::nullopt, true},
        {"unknown ignored", {"--template", "x", "-z"}, false, "", 6130, std::nullopt, false},
        {"root folders, their values no switches",
         {"--procfs", "-iX", "--sysfs=/host/sys", "-c"},
         false,
         "",
         6130,
         std::nullopt,
         false,
         {"-iX", "/host/sys"}},
        {"root without its folder",
         {"--procfs=/p", "--sysfs"},
         false,
         "",
         6130,
         std::nullopt,
         false,
         {"/p", std::nullopt},
         "--sysfs needs a folder"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const TClientSwitches switches = ParseClientSwitches(row.args);
        EXPECT_EQ(switches.ClientMode, row.client);
        EXPECT_EQ(switches.Host, row.host);
        EXPECT_EQ(switches.Port, row.port);
        EXPECT_EQ(switches.Password, row.password);
        EXPECT_EQ(switches.HideIcon, row.hide);
        EXPECT_EQ(switches.GivenRoots, row.roots);
        EXPECT_EQ(switches.Error, row.error);
    }
}

TEST(CommandLine, ArgumentsSkipProgramName)
{
    const char* argv[] = {"statlume", "-c", "-iX"};
    EXPECT_EQ(ArgumentsOf(3, argv), (std::vector<std::string>{"-c", "-iX"}));
}

} // namespace
} // namespace statlume
