#include "display/tray_tooltip.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

TEST(TrayToolTip, NamesRolesAndPeersAndEachProblem)
{
    struct Row
    {
        const char* name;
        TTrayStatus status;
        std::string expected;
    };
    const Row rows[] = {
        {"local", {}, "Statlume"},
        {"client",
         {.ClientHost = "192.0.2.10", .ClientPort = 6130},
         "Statlume: client of 192.0.2.10:6130"},
        {"server",
         {.ServingPort = 6130, .Connections = 2},
         "Statlume: serving on 6130, 2 connections"},
        {"server, one",
         {.ServingPort = 6130, .Connections = 1},
         "Statlume: serving on 6130, 1 connection"},
        {"client serving too",
         {.ClientHost = "::1", .ClientPort = 7000, .ServingPort = 6131},
         "Statlume: client of [::1]:7000; serving on 6131, no connections"},
        {"markup and controls in the host",
         {.ClientHost = "<b>x\n", .ClientPort = 1},
         "Statlume: client of ?b?x?:1"},
        {"foreign password",
         {.ClientHost = "h", .ClientPort = 1, .PasswordMismatch = true},
         "Statlume: client of h:1\nThe password does not match the server's: its figures "
         "cannot be read."},
        {"old figures",
         {.ClientHost = "h", .ClientPort = 1, .FiguresFrom = "17:32:05"},
         "Statlume: client of h:1\nThe server does not answer: the figures are from "
         "17:32:05."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(TrayToolTip(row.status), row.expected);
    }
}

} // namespace
} // namespace statlume
