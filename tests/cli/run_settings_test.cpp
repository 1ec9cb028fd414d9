#include <string>
#include <vector>

#include "cli/run_settings.h"
#include "platform/fake/memory_registry.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

TCliOptions Options(const std::vector<std::string>& args)
{
    return ParseCliOptions(args);
}

TEST(RunSettings, IntervalComesFromTheCommandLineThenTheStoreThenTheModesDefault)
{
    struct TCase
    {
        const char* name;
        std::vector<std::string> args;
        std::int32_t stored;
        std::uint32_t expected;
        bool reported;
    };
    const TCase cases[] = {
        {"--interval wins", {"--interval", "250", "-c", "-ihost"}, 5000, 250, false},
        {"stored", {}, 5000, 5000, false},
        {"stored 0, monitor", {}, 0, 1000, true},
        {"stored negative, monitor", {}, -1, 1000, true},
        {"stored negative, client", {"-c", "-ihost"}, -20, 2000, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TStoredSettings settings;
        settings.Interval = c.stored;
        std::vector<std::string> reports;
        const auto interval = RunIntervalMs(Options(c.args), settings,
                                            [&](const std::string& m) { reports.push_back(m); });
        EXPECT_EQ(interval, c.expected);
        ASSERT_EQ(reports.size(), c.reported ? 1u : 0u);
        if (c.reported) {
            EXPECT_NE(reports[0].find("\"Interval\""), std::string::npos);
        }
    }
}

TEST(RunSettings, ServePortComesFromTheCommandLineElseTheStoreWhichMustBeAPort)
{
    struct TCase
    {
        const char* name;
        std::vector<std::string> args;
        std::int32_t stored;
        std::optional<std::uint16_t> expected;
    };
    const TCase cases[] = {
        {"--serve=PORT wins", {"--serve=7000"}, 0, 7000},
        {"stored", {"--serve"}, 6200, 6200},
        {"stored 0", {"--serve"}, 0, std::nullopt},
        {"stored above 65535", {"--serve"}, 65536, std::nullopt},
        {"stored negative", {"--serve"}, -6130, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TStoredSettings settings;
        settings.ServPort = c.stored;
        std::string message;
        EXPECT_EQ(ServePortOf(Options(c.args), settings, message), c.expected);
        EXPECT_EQ(message.empty(), c.expected.has_value()) << message;
    }
}

TEST(RunSettings, StoredTemplateIsReadWithoutWritingAnything)
{
    const std::string key(MainSettingsKey);
    struct TCase
    {
        const char* name;
        platform::TRegistryTree tree;
        std::optional<std::string> expected;
        bool reported;
    };
    const TCase cases[] = {
        {"no key", {}, std::nullopt, false},
        {"key without a template", {{key, {{"Version", std::int32_t{70}}}}}, std::nullopt, false},
        {"template",
         {{key, {{"FormatString", std::string("a <NAME=Threads>")}}}},
         "a <NAME=Threads>",
         false},
        {"template of another type",
         {{key, {{"FormatString", std::int32_t{3}}}}},
         std::nullopt,
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        platform::TMemoryRegistry registry(c.tree);
        // Any write would fail, and the tree must stay as it was (no version step).
        registry.FailWrites = true;
        int reports = 0;
        EXPECT_EQ(StoredTemplateReadOnly(registry, key, [&](const std::string&) { ++reports; }),
                  c.expected);
        EXPECT_EQ(reports, c.reported ? 1 : 0);
        EXPECT_EQ(registry.Tree(), c.tree);
        EXPECT_EQ(registry.CurrentPath(), "");
    }
}

} // namespace
} // namespace statlume
