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

} // namespace
} // namespace statlume::platform
