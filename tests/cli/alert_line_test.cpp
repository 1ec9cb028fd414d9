#include <sstream>
#include <string>
#include <vector>

#include "cli/alert_line.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

TEST(AlertLine, WritesOneLineOnlyWhenTheStateChanges)
{
    std::ostringstream err;
    TAlertLine line(err);
    line.Set(false, "connected");
    line.Set(true, "cannot connect");
    line.Set(true, "cannot connect again");
    line.Set(false, "connected");
    line.Set(false, "connected");
    EXPECT_FALSE(line.Alert());
    EXPECT_EQ(err.str(), "statlume-cli: cannot connect; alert on\n"
                         "statlume-cli: connected; alert off\n");
}

} // namespace
} // namespace statlume
