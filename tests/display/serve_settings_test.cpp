#include <optional>
#include <string>

#include "display/serve_settings.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

TEST(ServeSettings, StoredValuesBecomeLimitsOrKeepTheServerOff)
{
    struct TRow
    {
        const char* name;
        std::string bind;
        std::string allow;
        std::optional<std::int32_t> perAddress;
        /// Part of the problem; empty when the settings are sound.
        std::string problem;
        std::size_t ranges = 0;
        std::size_t maxPerAddress = DefaultMaxPerAddress;
    };
    const TRow rows[] = {
        {"nothing stored", "", "", std::nullopt, ""},
        {"IPv4 bind and two ranges", "127.0.0.1", "10.0.0.0/8,::1", 4, "", 2, 4},
        {"bracketed IPv6 bind", "[::1]", "", std::nullopt, ""},
        {"a name is no bind address", "localhost", "", std::nullopt, "ServBind"},
        {"a range is no bind address", "10.0.0.0/8", "", std::nullopt, "ServBind"},
        {"one bad range", "", "10.0.0.0/8,10.1/99", std::nullopt, "'10.1/99'"},
        {"a control character is not echoed", "", "1\x1b[2J", std::nullopt, "'1?[2J'"},
        {"no connections at all", "", "", 0, "ServMaxPerAddress"},
        {"negative", "", "", -5, "ServMaxPerAddress"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TStoredSettings stored;
        stored.ServBind = row.bind;
        stored.ServAllow = row.allow;
        stored.ServMaxPerAddress = row.perAddress;
        const TServeSettings settings = ServeSettingsOf(stored);
        if (!row.problem.empty()) {
            ASSERT_TRUE(settings.Problem.has_value());
            EXPECT_NE(settings.Problem->find(row.problem), std::string::npos) << *settings.Problem;
            continue;
        }
        EXPECT_FALSE(settings.Problem.has_value());
        EXPECT_EQ(settings.Limits.BindAddress, row.bind);
        EXPECT_EQ(settings.Limits.Allow.size(), row.ranges);
        EXPECT_EQ(settings.Limits.MaxPerAddress, row.maxPerAddress);
    }
}

} // namespace
} // namespace statlume
