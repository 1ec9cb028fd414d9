#include <string>

#include "exporter/metrics_auth.h"
#include "exporter/test_hashes.h"

#include <crypt.h>
#include <gtest/gtest.h>

namespace statlume {
namespace {

using namespace std::string_literals;

TEST(MetricsAuth, ParsesOnlyWellFormedBasicCredentials)
{
    struct TCase
    {
        const char* name;
        std::string header;
        std::optional<std::pair<std::string, std::string>> expected;
    };
    const TCase cases[] = {
        {"padded", "Basic cHJvbWV0aGV1czpwYXNzIHdvcmQ=", {{"prometheus", "pass word"}}},
        {"scheme in any case, spaces", "bAsIc   YTpi  ", {{"a", "b"}}},
        {"colon in the password", "Basic YTpiOmM=", {{"a", "b:c"}}},
        {"empty password", "Basic YTo=", {{"a", ""}}},
        {"no colon", "Basic YWJj", std::nullopt},
        {"other scheme", "Bearer YTpi", std::nullopt},
        {"not base64", "Basic YT!i", std::nullopt},
        {"cut short", "Basic YTpiO", std::nullopt},
        {"padding inside", "Basic YT=i", std::nullopt},
        {"nothing", "Basic ", std::nullopt},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        const auto parsed = ParseBasicAuthorization(c.header);
        ASSERT_EQ(parsed.has_value(), c.expected.has_value());
        if (parsed) {
            EXPECT_EQ(parsed->User, c.expected->first);
            EXPECT_EQ(parsed->Password, c.expected->second);
        }
    }
}

TEST(MetricsAuth, BcryptMatchesOnlyTheExactPassword)
{
    EXPECT_TRUE(BcryptMatches(Cost4Hash, "pass word"));
    EXPECT_FALSE(BcryptMatches(Cost4Hash, "pass word "));
    EXPECT_FALSE(BcryptMatches(Cost4Hash, "pass word\0tail"s));
    EXPECT_FALSE(BcryptMatches("not a hash", "pass word"));
}

TEST(MetricsAuth, OnlyTheVerifiedCredentialsAreRemembered)
{
    TBasicAuth auth({{"prometheus", Cost4Hash}});
    const TBasicCredentials right{"prometheus", "pass word"};
    const TBasicCredentials wrong{"prometheus", "pass worD"};
    EXPECT_FALSE(auth.Verified(right));
    auth.Remember(right);
    EXPECT_TRUE(auth.Verified(right));
    EXPECT_FALSE(auth.Verified(wrong));
    // A user with the same password elsewhere, or an unknown one, is not let in.
    EXPECT_FALSE(auth.Verified({"other", "pass word"}));
    auth.Remember({"other", "pass word"});
    EXPECT_FALSE(auth.Verified({"other", "pass word"}));
    EXPECT_FALSE(auth.Knows("other"));
    EXPECT_NE(auth.HashFor("other"), Cost4Hash);
    EXPECT_FALSE(BcryptMatches(auth.HashFor("other"), "pass word"));
}

TEST(MetricsAuth, AnUnknownUserCostsWhatTheDearestUserCosts)
{
    const std::string body = Cost4Hash.substr(7);
    struct TCase
    {
        const char* name;
        std::map<std::string, std::string> users;
        const char* prefix;
    };
    const TCase cases[] = {
        {"htpasswd -B default", {{"a", "$2y$05$" + body}}, "$2y$05$"},
        {"the highest of several",
         {{"a", Cost4Hash}, {"b", "$2b$12$" + body}, {"c", "$2a$07$" + body}},
         "$2y$12$"},
        {"no users", {}, "$2y$10$"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        const TBasicAuth auth(c.users);
        const std::string& standIn = auth.HashFor("nobody");
        EXPECT_EQ(standIn.rfind(c.prefix, 0), 0u) << standIn;
        EXPECT_EQ(crypt_checksalt(standIn.c_str()), CRYPT_SALT_OK);
    }
}

} // namespace
} // namespace statlume
