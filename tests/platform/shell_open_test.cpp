#include <chrono>

#include "platform/linux/shell_open.h"

#include <gtest/gtest.h>

namespace statlume::platform {
namespace {

TEST(ShellOpen, MissingProgramIsReportedNotFatal)
{
    std::string error;
    EXPECT_FALSE(SpawnDetached("statlume-no-such-opener", "/tmp/x.htm", error));
    EXPECT_NE(error.find("statlume-no-such-opener"), std::string::npos) << error;
}

TEST(ShellOpen, StartsWithoutWaiting)
{
    std::string error;
    EXPECT_TRUE(SpawnDetached("true", "/tmp/x.htm", error)) << error;
    EXPECT_TRUE(error.empty());
}

TEST(ShellOpen, WatchedStartTellsAFailingHandlerFromAWorkingOne)
{
    struct TCase
    {
        const char* name;
        const char* program;
        const char* argument;
        bool opened;
    };
    const TCase cases[] = {
        {"missing", "statlume-no-such-opener", "/tmp/x.htm", false},
        {"fails at once", "false", "/tmp/x.htm", false},
        {"succeeds", "true", "/tmp/x.htm", true},
        {"still running when patience ends", "sleep", "5", true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(SpawnAndWatch(c.program, c.argument, std::chrono::milliseconds(300), error),
                  c.opened);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
        EXPECT_EQ(error.empty(), c.opened) << error;
    }
}

} // namespace
} // namespace statlume::platform
