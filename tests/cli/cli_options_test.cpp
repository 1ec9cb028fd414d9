#include <functional>
#include <string>
#include <vector>

#include "cli/cli_options.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

TCliOptions Parse(std::vector<std::string> args)
{
    return ParseCliOptions(args);
}

TEST(CliOptions, ReadsEveryOption)
{
    struct TCase
    {
        const char* name;
        std::vector<std::string> args;
        std::function<void(const TCliOptions&)> check;
    };
    const TCase cases[] = {
        {"nothing",
         {},
         [](const TCliOptions& o) {
             EXPECT_FALSE(o.Print || o.Once || o.Help || o.Version || o.Serve || o.ClientMode);
             EXPECT_FALSE(o.IntervalMs);
             EXPECT_EQ(o.ServerPort, 6130);
             EXPECT_TRUE(o.Errors.empty());
         }},
        {"flags",
         {"--print", "--once", "--help", "--version"},
         [](const TCliOptions& o) { EXPECT_TRUE(o.Print && o.Once && o.Help && o.Version); }},
        {"interval as next argument",
         {"--interval", "250"},
         [](const TCliOptions& o) { EXPECT_EQ(o.IntervalMs, 250u); }},
        {"interval after equals",
         {"--interval=0"},
         [](const TCliOptions& o) { EXPECT_EQ(o.IntervalMs, 0u); }},
        {"last interval wins",
         {"--interval=5", "--interval", "7"},
         [](const TCliOptions& o) { EXPECT_EQ(o.IntervalMs, 7u); }},
        {"template keeps case and blanks",
         {"--template", "<NAME=CompName> x"},
         [](const TCliOptions& o) { EXPECT_EQ(o.TemplateText, "<NAME=CompName> x"); }},
        {"template with equals inside",
         {"--template=<NAME=RAMTotal>"},
         [](const TCliOptions& o) { EXPECT_EQ(o.TemplateText, "<NAME=RAMTotal>"); }},
        {"files",
         {"--template-file", "t.txt", "--record=r.bin", "--dump-record", "d.bin"},
         [](const TCliOptions& o) {
             EXPECT_EQ(o.TemplateFile, "t.txt");
             EXPECT_EQ(o.RecordFile, "r.bin");
             EXPECT_EQ(o.DumpRecordFile, "d.bin");
         }},
        {"serve without port",
         {"--serve"},
         [](const TCliOptions& o) {
             EXPECT_TRUE(o.Serve);
             EXPECT_FALSE(o.ServePort);
         }},
        {"serve with port",
         {"--serve=7000"},
         [](const TCliOptions& o) {
             EXPECT_TRUE(o.Serve);
             EXPECT_EQ(o.ServePort, 7000);
         }},
        {"serve does not take the next argument",
         {"--serve", "7000"},
         [](const TCliOptions& o) { EXPECT_FALSE(o.ServePort); }},
        {"client switches",
         {"-c", "-iMyServer.Example", "-p7001", "-dSeCret"},
         [](const TCliOptions& o) {
             EXPECT_TRUE(o.IsClient());
             EXPECT_EQ(o.ServerHost, "myserver.example");
             EXPECT_EQ(o.ServerPort, 7001);
             EXPECT_EQ(o.Password, "secret");
         }},
        {"capital switches",
         {"-C", "-IHost", "-P80", "-Dpw"},
         [](const TCliOptions& o) {
             EXPECT_TRUE(o.IsClient());
             EXPECT_EQ(o.ServerHost, "host");
             EXPECT_EQ(o.ServerPort, 80);
             EXPECT_EQ(o.Password, "pw");
         }},
        {"-c without host is no client",
         {"-c"},
         [](const TCliOptions& o) {
             EXPECT_TRUE(o.ClientMode);
             EXPECT_FALSE(o.IsClient());
         }},
        {"-c must be whole",
         {"-cx", "-ihost"},
         [](const TCliOptions& o) { EXPECT_FALSE(o.ClientMode); }},
        {"bad port gives default",
         {"-p99x"},
         [](const TCliOptions& o) { EXPECT_EQ(o.ServerPort, 6130); }},
        {"empty port gives default",
         {"-p"},
         [](const TCliOptions& o) { EXPECT_EQ(o.ServerPort, 6130); }},
        {"port out of range gives default",
         {"-p70000"},
         [](const TCliOptions& o) { EXPECT_EQ(o.ServerPort, 6130); }},
        {"port read as the window program reads it",
         {"-p+8080"},
         [](const TCliOptions& o) { EXPECT_EQ(o.ServerPort, 8080); }},
        {"a long option's value is no switch",
         {"-c", "-ihost", "--template", "-dx", "--dump-record", "-p99"},
         [](const TCliOptions& o) {
             const TClientSwitches switches = o.ClientSwitches();
             EXPECT_TRUE(switches.ClientMode);
             EXPECT_EQ(switches.Host, "host");
             EXPECT_EQ(switches.Port, 6130);
             EXPECT_EQ(switches.Password, std::nullopt);
         }},
        {"last switch wins",
         {"-ia", "-ib", "-p1", "-p2"},
         [](const TCliOptions& o) {
             EXPECT_EQ(o.ServerHost, "b");
             EXPECT_EQ(o.ServerPort, 2);
         }},
        {"empty password", {"-d"}, [](const TCliOptions& o) { EXPECT_EQ(o.Password, ""); }},
        {"unknown arguments ignored",
         {"--frobnicate", "-x", "plain", "-h", "--print"},
         [](const TCliOptions& o) {
             EXPECT_TRUE(o.Print);
             EXPECT_TRUE(o.Errors.empty());
         }},
        {"long options are not switches",
         {"--interval=10", "--dump-record=x"},
         [](const TCliOptions& o) {
             EXPECT_TRUE(o.ServerHost.empty());
             EXPECT_FALSE(o.Password);
         }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        c.check(Parse(c.args));
    }
}

TEST(CliOptions, ReportsUnusableValues)
{
    struct TCase
    {
        const char* name;
        std::vector<std::string> args;
    };
    const TCase cases[] = {
        {"interval missing", {"--interval"}},
        {"interval not a number", {"--interval", "fast"}},
        {"interval negative", {"--interval=-5"}},
        {"interval too large", {"--interval=99999999999"}},
        {"template missing", {"--template"}},
        {"record missing", {"--record"}},
        {"serve port zero", {"--serve=0"}},
        {"serve port too large", {"--serve=65536"}},
        {"serve port empty", {"--serve="}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Parse(c.args).Errors.size(), 1u);
    }
}

TEST(CliOptions, HelpListsEveryOption)
{
    const std::string help = CliHelpText();
    for (const char* option :
         {"--print", "--once", "--interval", "--template ", "--template-file", "--record",
          "--dump-record", "--serve", "-c", "-i", "-p", "-d", "--help", "--version"}) {
        SCOPED_TRACE(option);
        EXPECT_NE(help.find(option), std::string::npos);
    }
}

} // namespace
} // namespace statlume
