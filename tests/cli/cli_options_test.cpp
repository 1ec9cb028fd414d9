#include <array>
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

TEST(CliOptions, ReadsEverySpellingOfEveryOption)
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
         }},
        {"flags",
         {"--print", "--once", "--help", "--version"},
         [](const TCliOptions& o) { EXPECT_TRUE(o.Print && o.Once && o.Help && o.Version); }},
        {"short help and version",
         {"-h", "-V"},
         [](const TCliOptions& o) { EXPECT_TRUE(o.Help && o.Version); }},
        {"interval as next argument",
         {"--interval", "250"},
         [](const TCliOptions& o) { EXPECT_EQ(o.IntervalMs, 250u); }},
        {"last interval wins",
         {"--interval=5", "--interval", "7"},
         [](const TCliOptions& o) { EXPECT_EQ(o.IntervalMs, 7u); }},
        {"template keeps case, blanks and a leading dash",
         {"--template", "-<NAME=CompName> x"},
         [](const TCliOptions& o) { EXPECT_EQ(o.TemplateText, "-<NAME=CompName> x"); }},
        {"template with equals inside",
         {"--template=<NAME=RAMTotal>"},
         [](const TCliOptions& o) { EXPECT_EQ(o.TemplateText, "<NAME=RAMTotal>"); }},
        {"files",
         {"--template-file", "t.txt", "--dump-record=d.bin"},
         [](const TCliOptions& o) {
             EXPECT_EQ(o.TemplateFile, "t.txt");
             EXPECT_EQ(o.DumpRecordFile, "d.bin");
         }},
        {"serve without port",
         {"--serve", "--print"},
         [](const TCliOptions& o) {
             EXPECT_TRUE(o.Serve && o.Print);
             EXPECT_FALSE(o.ServePort);
         }},
        {"serve port after equals",
         {"--serve=7000"},
         [](const TCliOptions& o) { EXPECT_EQ(o.ServePort, 7000); }},
        {"serve port as next argument",
         {"--serve", "6141"},
         [](const TCliOptions& o) { EXPECT_EQ(o.ServePort, 6141); }},
        {"server limits",
         {"--serve", "--bind", "[::1]", "--allow=10.0.0.0/8,::1", "--allow", "192.0.2.7",
          "--max-clients", "3", "--max-per-address=2"},
         [](const TCliOptions& o) {
             EXPECT_EQ(o.Limits.BindAddress, "::1");
             EXPECT_EQ(o.Limits.Allow.size(), 3u);
             EXPECT_EQ(o.Limits.MaxClients, 3u);
             EXPECT_EQ(o.Limits.MaxPerAddress, 2u);
         }},
        {"glued client switches, either case",
         {"-C", "-iMyServer.Example", "-P7001", "-dSeCret"},
         [](const TCliOptions& o) {
             EXPECT_TRUE(o.IsClient());
             EXPECT_EQ(o.ServerHost, "myserver.example");
             EXPECT_EQ(o.ServerPort, 7001);
             EXPECT_EQ(o.Password, "secret");
         }},
        {"client switches as separate words",
         {"-c", "-i", "127.0.0.1", "-p", "7002", "-d", "PW"},
         [](const TCliOptions& o) {
             EXPECT_TRUE(o.IsClient());
             EXPECT_EQ(o.ServerHost, "127.0.0.1");
             EXPECT_EQ(o.ServerPort, 7002);
             EXPECT_EQ(o.Password, "pw");
         }},
        {"IPv6 literal host",
         {"-c", "-i::1"},
         [](const TCliOptions& o) { EXPECT_EQ(o.ServerHost, "::1"); }},
        {"a long option's value is no switch",
         {"-c", "-ihost", "--template", "-dx", "--dump-record", "-p99"},
         [](const TCliOptions& o) {
             EXPECT_EQ(o.ServerPort, 6130);
             EXPECT_EQ(o.Password, std::nullopt);
             EXPECT_EQ(o.DumpRecordFile, "-p99");
         }},
        {"last switch wins",
         {"-c", "-ia", "-ib", "-p1", "-p2"},
         [](const TCliOptions& o) {
             EXPECT_EQ(o.ServerHost, "b");
             EXPECT_EQ(o.ServerPort, 2);
         }},
        {"password file for a server",
         {"--serve", "--password-file", "pw.txt"},
         [](const TCliOptions& o) { EXPECT_EQ(o.PasswordFile, "pw.txt"); }},
        {"relay: client and server at once",
         {"-c", "-ihost", "--serve=7000"},
         [](const TCliOptions& o) { EXPECT_TRUE(o.IsClient() && o.Serve); }},
        {"metrics port alone listens everywhere and prints nothing",
         {"--metrics=9100"},
         [](const TCliOptions& o) {
             ASSERT_TRUE(o.Metrics);
             EXPECT_EQ(o.Metrics->Address, "");
             EXPECT_EQ(o.Metrics->Port, 9100);
             EXPECT_FALSE(o.Prints());
         }},
        {"metrics on an IPv4 address, with --print",
         {"--metrics", "127.0.0.1:9101", "--print"},
         [](const TCliOptions& o) {
             EXPECT_EQ(o.Metrics->Address, "127.0.0.1");
             EXPECT_EQ(o.Metrics->Port, 9101);
             EXPECT_TRUE(o.Prints());
         }},
        {"metrics on a bracketed IPv6 address for a client",
         {"-c", "-ihost", "--metrics=[::1]:9102"},
         [](const TCliOptions& o) {
             EXPECT_EQ(o.Metrics->Address, "::1");
             EXPECT_FALSE(o.Prints());
         }},
        {"json prints even beside metrics and serve",
         {"--serve", "--metrics=9100", "--json"},
         [](const TCliOptions& o) {
             EXPECT_EQ(o.Style, TOutputStyle::Json);
             EXPECT_TRUE(o.Prints());
         }},
        {"one-line with the default separator",
         {"--one-line"},
         [](const TCliOptions& o) {
             EXPECT_EQ(o.Style, TOutputStyle::OneLine);
             EXPECT_EQ(o.Separator, " | ");
         }},
        {"one-line with its own separator, even empty",
         {"--one-line=", "--one-line= :: "},
         [](const TCliOptions& o) { EXPECT_EQ(o.Separator, " :: "); }},
        {"discovery",
         {"--describe", "procusage"},
         [](const TCliOptions& o) { EXPECT_EQ(o.Describe, "procusage"); }},
        {"check a given template",
         {"--check-template", "--template", "<NAME=x>"},
         [](const TCliOptions& o) { EXPECT_TRUE(o.CheckTemplate && o.TemplateText); }},
        {"roots of another machine, their values no switches",
         {"--procfs", "-dx", "--sysfs=/host/sys"},
         [](const TCliOptions& o) {
             EXPECT_EQ(o.GivenRoots.Procfs, "-dx");
             EXPECT_EQ(o.GivenRoots.Sysfs, "/host/sys");
             EXPECT_EQ(o.Password, std::nullopt);
         }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        const TCliOptions options = Parse(c.args);
        EXPECT_EQ(options.Error, "");
        c.check(options);
    }
}

TEST(CliOptions, RefusesWhatItDoesNotKnowOrCannotUse)
{
    struct TCase
    {
        const char* name;
        std::vector<std::string> args;
        const char* message;
    };
    const TCase cases[] = {
        {"misspelt option", {"--onse"}, "unknown option '--onse'"},
        {"misspelt option with value", {"--templat", "x"}, "unknown option '--templat'"},
        {"option of another program", {"--port=6231"}, "unknown option '--port'"},
        {"unknown short option", {"-x"}, "unknown option '-x'"},
        {"-c glued to more", {"-cx", "-ihost"}, "unknown option '-cx'"},
        {"stray word", {"--print", "plain"}, "unexpected argument 'plain'"},
        {"control characters never echoed", {"--a\x1b]0;t\x07"}, "'--a?]0;t?'"},
        {"flag with a value", {"--once=yes"}, "--once takes no value"},
        {"metrics without a port", {"--metrics"}, "--metrics needs a value"},
        {"metrics port zero", {"--metrics=0"}, "--metrics needs [ADDRESS:]PORT"},
        {"metrics port too large", {"--metrics=65536"}, "--metrics needs [ADDRESS:]PORT"},
        {"metrics port missing after address", {"--metrics=127.0.0.1:"}, "not '127.0.0.1:'"},
        {"metrics host name", {"--metrics=localhost:9100"}, "--metrics needs [ADDRESS:]PORT"},
        {"metrics IPv6 without brackets", {"--metrics=::1:9100"}, "--metrics needs"},
        {"metrics address range", {"--metrics=10.0.0.0/8:9100"}, "--metrics needs"},
        {"metrics with once", {"--metrics=9100", "--once"}, "cannot be used with --once"},
        {"json and one-line", {"--json", "--one-line"}, "cannot be used together"},
        {"json with a value", {"--json=1"}, "--json takes no value"},
        {"one-line separator with a control character",
         {"--one-line=\x1b[2J"},
         "without control characters, not '?[2J'"},
        {"two discovery runs", {"--list-items", "--check-template"}, "cannot be used together"},
        {"json with a record file",
         {"--json", "--record", "r.bin"},
         "cannot be used with --record"},
        {"interval missing", {"--interval"}, "--interval needs a value"},
        {"interval zero", {"--interval", "0"}, "from 1 up"},
        {"interval not a number", {"--interval=fast"}, "from 1 up"},
        {"interval negative", {"--interval=-5"}, "from 1 up"},
        {"interval too large", {"--interval=99999999999"}, "from 1 up"},
        {"template missing", {"--template"}, "--template needs a value"},
        {"record file name empty", {"--record="}, "--record needs a file name"},
        {"procfs missing", {"--procfs"}, "--procfs needs a value"},
        {"sysfs empty", {"--sysfs="}, "--sysfs needs a folder"},
        {"serve port zero", {"--serve=0"}, "from 1 to 65535"},
        {"serve port too large", {"--serve", "65536"}, "from 1 to 65535"},
        {"serve port empty", {"--serve="}, "from 1 to 65535"},
        {"-c without host", {"-c"}, "-c needs a server: -iHOST"},
        {"-i at the end", {"-c", "-i"}, "-i needs a server name or address"},
        {"-i takes no option as host", {"-c", "-i", "--once"}, "-i needs a server name"},
        {"host with a backslash", {"-c", "-ia\\b"}, "-i needs a server name"},
        {"host with a blank", {"-c", "-ia b"}, "-i needs a server name"},
        {"port not a number", {"-c", "-ihost", "-p99x"}, "-p needs a port number"},
        {"port with a sign", {"-c", "-ihost", "-p+80"}, "-p needs a port number"},
        {"port out of range", {"-c", "-ihost", "-p", "70000"}, "-p needs a port number"},
        {"-d at the end", {"-c", "-ihost", "-d"}, "-d needs a password"},
        {"host without -c", {"-i", "host"}, "add -c"},
        {"port without -c", {"--serve", "-p6200"}, "add -c"},
        {"record and client", {"--record", "r", "-c", "-ihost"}, "--record"},
        {"record and server", {"--record", "r", "--serve"}, "--record"},
        {"record and dump", {"--record", "r", "--dump-record", "d"}, "--record"},
        {"template twice over", {"--template", "a", "--template-file", "b"}, "--template-file"},
        {"once and serve", {"--once", "--serve"}, "--once cannot be used with --serve"},
        {"two kinds of password", {"--serve", "-dx", "--password-file", "f"}, "-d and"},
        {"password for the monitor", {"-dx"}, "a password is for a client"},
        {"limits without serve", {"--max-clients", "4"}, "need --serve"},
        {"bind not an address", {"--serve", "--bind", "example.org"}, "--bind needs"},
        {"bind a range", {"--serve", "--bind", "10.0.0.0/8"}, "--bind needs"},
        {"allow with a bad range", {"--serve", "--allow", "10.0.0.0/8,10.1/99"}, "'10.1/99'"},
        {"allow empty", {"--serve", "--allow="}, "--allow needs"},
        {"max clients zero", {"--serve", "--max-clients=0"}, "--max-clients needs"},
        {"max clients huge", {"--serve", "--max-clients=100000"}, "--max-clients needs"},
        {"max per address zero", {"--serve", "--max-per-address", "0"}, "--max-per-address needs"},
        {"per-address cap without serve", {"--max-per-address=4"}, "need --serve"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string error = Parse(c.args).Error;
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
}

TEST(CliOptions, PasswordsAreScrubbedFromTheArgumentsInPlace)
{
    std::array<char, 16> glued{"-dSecret"};
    std::array<char, 16> dash{"-d"};
    std::array<char, 16> separate{"Other"};
    std::array<char, 16> host{"-ihost"};
    std::array<char, 16> client{"-c"};
    const std::array<char*, 5> argv{client.data(), host.data(), glued.data(), dash.data(),
                                    separate.data()};
    const std::vector<std::string> args(argv.begin(), argv.end());
    const TCliOptions options = ParseCliOptions(args);
    ASSERT_EQ(options.Error, "");
    EXPECT_EQ(options.Password, "other");

    ScrubSecrets(argv, options.Secrets);
    EXPECT_STREQ(glued.data(), "-dxxxxxx");
    EXPECT_STREQ(dash.data(), "-d");
    EXPECT_STREQ(separate.data(), "xxxxx");
    EXPECT_STREQ(host.data(), "-ihost");
}

TEST(CliOptions, HelpListsEveryOption)
{
    const std::string help = CliHelpText();
    for (const char* option : {"--print",
                               "--once",
                               "--interval",
                               "--template ",
                               "--template-file",
                               "--record",
                               "--dump-record",
                               "--serve",
                               "-c",
                               "-i",
                               "-p",
                               "-d",
                               "--password-file",
                               "STATLUME_PASSWORD",
                               "--bind",
                               "--allow",
                               "--max-clients",
                               "-h, --help",
                               "-V, --version",
                               "--metrics",
                               "--json",
                               "--one-line",
                               "--list-items",
                               "--describe",
                               "--check-template",
                               "--procfs DIR",
                               "--sysfs DIR"}) {
        SCOPED_TRACE(option);
        EXPECT_NE(help.find(option), std::string::npos);
    }
}

} // namespace
} // namespace statlume
