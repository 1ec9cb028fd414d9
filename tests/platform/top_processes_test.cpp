#include <optional>
#include <string>

#include "platform/linux/top_processes.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace statlume::platform {
namespace {

TEST(TopProcesses, StatFieldsSurviveHostileNames)
{
    struct TRow
    {
        const char* name;
        const char* text;
        std::optional<std::string> comm;
        std::uint64_t ticks;
    };
    const char* tail = " 0 7 3 0 0 20 0 1 0 9100 923456789 25600 1844674407370955161";
    const TRow rows[] = {
        {"plain", "12 (bash) S 1 12 12 0 -1 4194560 100 0 0", "bash", 10},
        {"name with ') S 1 2'", "12 (a) S 1 2) S 1 12 12 0 -1 4194560 100 0 0", "a) S 1 2", 10},
        {"empty name", "12 () S 1 12 12 0 -1 4194560 100 0 0", "", 10},
        {"too few fields", "12 (bash) S 1", std::nullopt, 0},
        {"no pid", "(bash) S 1 12 12 0 -1 4194560 100 0 0", std::nullopt, 0},
        {"no closing bracket", "12 (bash S 1 12 12 0 -1 4194560 100 0 0", std::nullopt, 0},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.name);
        // The short rows stop before the fields the tail fills in.
        const std::string text =
            std::string(row.text) + (std::string(row.name) == "too few fields" ? "" : tail);
        const auto stat = ParseProcStat(text);
        ASSERT_EQ(stat.has_value(), row.comm.has_value());
        if (!stat)
            continue;
        EXPECT_EQ(stat->Name, *row.comm);
        EXPECT_EQ(stat->Pid, 12);
        EXPECT_EQ(stat->Ticks, row.ticks);
        EXPECT_EQ(stat->StartTicks, 9100u);
        EXPECT_EQ(stat->ResidentPages, 25600u);
    }
}

TEST(TopProcesses, MemoryListOfTheFixtureWithPrintableNames)
{
    TTopProcesses top(STATLUME_TEST_DATA "/procfs_host", 2);
    const TTopLists lists = top.Sample();
    // Nothing to compare processor time with yet.
    EXPECT_TRUE(lists.ByCpu.empty());
    ASSERT_EQ(lists.ByMemory.size(), 2u);
    EXPECT_EQ(lists.ByMemory[0].Pid, 4300);
    EXPECT_EQ(lists.ByMemory[0].Name, "evil?[31m) ?name");
    EXPECT_EQ(lists.ByMemory[0].ResidentBytes, 25600u * ::sysconf(_SC_PAGESIZE));
    EXPECT_EQ(lists.ByMemory[1].Name, "glxgears");
}

} // namespace
} // namespace statlume::platform
