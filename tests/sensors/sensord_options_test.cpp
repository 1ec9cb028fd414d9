#include <string>
#include <string_view>
#include <vector>

#include "sensors/sensord_options.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

using namespace std::chrono_literals;

TEST(SensordOptions, Defaults)
{
    std::string error;
    const auto options = ParseSensordOptions({}, error);
    ASSERT_TRUE(options.has_value());
    EXPECT_EQ(options->Root, "/sys/class/hwmon");
    EXPECT_EQ(options->Name, "/$M$B$M$5$D$");
    EXPECT_EQ(options->Interval, 1000ms);
    EXPECT_FALSE(options->Once || options->Detach || options->Help);
}

TEST(SensordOptions, ReadsEveryOption)
{
    const std::vector<std::string_view> args{"--root", "/tmp/h",         "--name=/blk",
                                             "--once", "--interval=250", "--detach"};
    std::string error;
    const auto options = ParseSensordOptions(args, error);
    ASSERT_TRUE(options.has_value()) << error;
    EXPECT_EQ(options->Root, "/tmp/h");
    EXPECT_EQ(options->Name, "/blk");
    EXPECT_EQ(options->Interval, 250ms);
    EXPECT_TRUE(options->Once);
    EXPECT_TRUE(options->Detach);
}

TEST(SensordOptions, RejectsBadInput)
{
    struct TCase
    {
        const char* name;
        std::vector<std::string_view> args;
    };
    const TCase cases[] = {
        {"unknown option", {"--verbose"}},
        {"missing value", {"--root"}},
        {"name without slash", {"--name", "blk"}},
        {"name with inner slash", {"--name=/a/b"}},
        {"bare slash", {"--name=/"}},
        {"interval too short", {"--interval=99"}},
        {"interval not a number", {"--interval", "1s"}},
        {"interval too long", {"--interval=3600001"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        EXPECT_FALSE(ParseSensordOptions(c.args, error).has_value());
        EXPECT_FALSE(error.empty());
    }
}

} // namespace
} // namespace statlume
