#include <algorithm>
#include <csignal>
#include <optional>
#include <vector>

#include "platform/linux/proc_file.h"
#include "platform/linux/process_counter.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace statlume::platform {
namespace {

constexpr std::int64_t OneSecond = 10'000'000;

TEST(ProcessCounter, NsPidDepthCountsTheNamespaceLevels)
{
    struct TRow
    {
        const char* name;
        const char* text;
        std::optional<std::size_t> depth;
    };
    const TRow rows[] = {
        {"initial namespace", "Name:\tx\nNSpid:\t4121\nNSpgid:\t4121\n", 1},
        {"container", "Name:\tx\nNSpid:\t4121\t7\nNSpgid:\t4121\t7\n", 2},
        {"two levels, last line", "Name:\tx\nNSpid:\t9 8 1", 3},
        {"old kernel", "Name:\tx\nPid:\t4121\n", std::nullopt},
        {"NSpgid is not NSpid", "NSpgid:\t1\t2\n", std::nullopt},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(NsPidDepth(row.text), row.depth);
    }
}

TEST(ProcessCounter, MountInfoTellsWhetherEveryProcessIsListed)
{
    struct TRow
    {
        const char* name;
        const char* text;
        bool listsEvery;
    };
    const TRow rows[] = {
        {"plain", "22 27 0:21 / /proc rw,relatime - proc proc rw\n", true},
        {"optional fields", "22 27 0:21 / /proc rw shared:12 master:3 - proc proc rw\n", true},
        {"noaccess still lists", "22 27 0:21 / /proc rw - proc proc rw,hidepid=noaccess\n", true},
        {"hidepid=1 still lists", "22 27 0:21 / /proc rw - proc proc rw,hidepid=1\n", true},
        {"invisible", "22 27 0:21 / /proc rw - proc proc rw,hidepid=invisible\n", false},
        {"hidepid=2", "22 27 0:21 / /proc rw - proc proc rw,hidepid=2,gid=5\n", false},
        {"ptraceable", "22 27 0:21 / /proc rw - proc proc hidepid=ptraceable\n", false},
        {"other mount point", "22 27 0:21 / /mnt/proc rw - proc proc rw\n", false},
        {"not procfs", "22 27 0:21 / /proc rw - tmpfs tmpfs rw\n", false},
        {"last mount wins",
         "1 0 0:21 / /proc rw - proc proc rw\n2 1 0:30 / /proc rw - proc proc "
         "rw,hidepid=2\n",
         false},
        {"missing separator", "22 27 0:21 / /proc rw proc proc rw\n", false},
        {"empty", "", false},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ProcMountListsEveryProcess(row.text, "/proc"), row.listsEvery);
    }
}

// A procfs root whose link count is a fixed part plus the processes, as the kernel keeps it.
struct TFakeProc
{
    std::uint64_t Fixed = 10;
    std::uint64_t Processes = 100;
    bool LinkCountWorks = true;
    bool ListingWorks = true;
    // Processes that start while the listing runs.
    std::uint64_t StartDuringListing = 0;
    // Makes the link count leave processes out (a procfs that does not count them).
    bool LinkCountIgnoresProcesses = false;
    int Listings = 0;
    int LinkCounts = 0;

    TProcessCounter MakeCounter(bool allowed = true)
    {
        return TProcessCounter(
            [this]() -> std::optional<std::uint64_t> {
                ++LinkCounts;
                if (!LinkCountWorks)
                    return std::nullopt;
                return Fixed + (LinkCountIgnoresProcesses ? 0 : Processes);
            },
            [this]() -> std::optional<std::uint64_t> {
                ++Listings;
                if (!ListingWorks)
                    return std::nullopt;
                const std::uint64_t listed = Processes;
                Processes += StartDuringListing;
                return listed;
            },
            allowed);
    }
};

TEST(ProcessCounter, CountsFromTheLinkCountOnceCalibrated)
{
    TFakeProc proc;
    TProcessCounter counter = proc.MakeCounter();
    std::int64_t now = 5 * OneSecond;
    EXPECT_EQ(counter.Count(now), 100u);
    EXPECT_FALSE(counter.LastCountWasFast());
    EXPECT_EQ(proc.Listings, 1);

    for (const std::uint64_t processes : {101u, 250u, 3u}) {
        SCOPED_TRACE(processes);
        proc.Processes = processes;
        now += OneSecond / 10;
        EXPECT_EQ(counter.Count(now), processes);
        EXPECT_TRUE(counter.LastCountWasFast());
    }
    EXPECT_EQ(proc.Listings, 1);
}

TEST(ProcessCounter, ListsAgainAfterTenSecondsOrNinetyNineFastCounts)
{
    TFakeProc proc;
    TProcessCounter counter = proc.MakeCounter();
    std::int64_t now = 0;
    counter.Count(now);
    for (int i = 0; i < TProcessCounter::FastCountsPerCalibration; ++i)
        counter.Count(++now);
    EXPECT_EQ(proc.Listings, 1);
    // The fixed part changed (a folder was registered under /proc): the listing measures it.
    proc.Fixed = 11;
    EXPECT_EQ(counter.Count(++now), 100u);
    EXPECT_EQ(proc.Listings, 2);
    EXPECT_EQ(counter.Count(++now), 100u);
    EXPECT_TRUE(counter.LastCountWasFast());

    now += TProcessCounter::CalibrationLifetime;
    counter.Count(now);
    EXPECT_FALSE(counter.LastCountWasFast());
    EXPECT_EQ(proc.Listings, 3);

    // A clock that went back cannot tell the calibration's age.
    counter.Count(now - OneSecond);
    EXPECT_EQ(proc.Listings, 4);
}

TEST(ProcessCounter, LinkCountBelowTheOffsetListsAtOnce)
{
    TFakeProc proc;
    TProcessCounter counter = proc.MakeCounter();
    counter.Count(0);
    proc.Fixed = 2;
    proc.Processes = 5;
    EXPECT_EQ(counter.Count(1), 5u);
    EXPECT_EQ(proc.Listings, 2);
    EXPECT_EQ(counter.Count(2), 5u);
    EXPECT_TRUE(counter.LastCountWasFast());
}

TEST(ProcessCounter, ACountThatMovesDuringTheListingIsNotTrusted)
{
    TFakeProc proc;
    proc.StartDuringListing = 1;
    TProcessCounter counter = proc.MakeCounter();
    EXPECT_EQ(counter.Count(0), 100u);
    EXPECT_EQ(counter.Count(1), 101u);
    EXPECT_EQ(proc.Listings, 2);
    proc.StartDuringListing = 0;
    EXPECT_EQ(counter.Count(2), 102u);
    EXPECT_FALSE(counter.LastCountWasFast());
    EXPECT_EQ(counter.Count(3), 102u);
    EXPECT_TRUE(counter.LastCountWasFast());
    EXPECT_EQ(proc.Listings, 3);
}

TEST(ProcessCounter, FallsBackToListingForGood)
{
    struct TRow
    {
        const char* name;
        bool allowed;
        bool linkCountIgnoresProcesses;
        bool expectFastPathAllowed;
    };
    const TRow rows[] = {
        {"other pid namespace or hidden processes", false, false, false},
        {"link count below the listing", true, true, false},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.name);
        TFakeProc proc;
        proc.LinkCountIgnoresProcesses = row.linkCountIgnoresProcesses;
        TProcessCounter counter = proc.MakeCounter(row.allowed);
        for (std::int64_t now = 0; now < 20; ++now) {
            proc.Processes = 100 + static_cast<std::uint64_t>(now);
            EXPECT_EQ(counter.Count(now), proc.Processes);
            EXPECT_FALSE(counter.LastCountWasFast());
        }
        EXPECT_EQ(proc.Listings, 20);
        EXPECT_EQ(counter.FastPathAllowed(), row.expectFastPathAllowed);
    }
}

TEST(ProcessCounter, FailuresOfEitherSource)
{
    TFakeProc proc;
    proc.ListingWorks = false;
    TProcessCounter counter = proc.MakeCounter();
    EXPECT_EQ(counter.Count(0), std::nullopt);

    // Without a link count every count is a listing, and the listing still answers.
    proc.ListingWorks = true;
    proc.LinkCountWorks = false;
    EXPECT_EQ(counter.Count(1), 100u);
    EXPECT_EQ(counter.Count(2), 100u);
    EXPECT_EQ(proc.Listings, 3);

    // A calibrated counter whose link count fails lists again.
    proc.LinkCountWorks = true;
    counter.Count(3);
    proc.LinkCountWorks = false;
    EXPECT_EQ(counter.Count(4), 100u);
    EXPECT_FALSE(counter.LastCountWasFast());
}

std::uint64_t ListProcesses(TProcDirectory& proc)
{
    std::uint64_t count = 0;
    EXPECT_TRUE(proc.ForEachNumeric([&count](std::string_view) { ++count; }));
    return count;
}

// The kernel's side of the bargain: the link count of /proc follows the processes.
TEST(ProcessCounter, RealProcLinkCountFollowsTheListing)
{
    if (!SeesEveryProcess("/proc"))
        GTEST_SKIP() << "this /proc does not show every process (pid namespace or hidepid)";
    TProcDirectory proc("/proc");
    TProcessCounter counter(
        [&proc] { return LinkCountOf(proc.Get()); },
        [&proc]() -> std::optional<std::uint64_t> { return ListProcesses(proc); }, true);
    // Other work on the machine may start processes in between; retry a few calibrations.
    for (int attempt = 0; attempt < 20 && !counter.LastCountWasFast(); ++attempt) {
        ASSERT_TRUE(counter.Count(attempt));
        counter.Count(attempt);
    }
    ASSERT_TRUE(counter.LastCountWasFast()) << "no steady calibration in 20 listings";

    // Children change the count the fast path must follow.
    std::vector<pid_t> children;
    for (int i = 0; i < 8; ++i) {
        const pid_t child = ::fork();
        if (child == 0) {
            ::pause();
            ::_exit(0);
        }
        ASSERT_GT(child, 0);
        children.push_back(child);
    }
    const std::uint64_t before = ListProcesses(proc);
    const auto fast = counter.Count(20);
    const std::uint64_t after = ListProcesses(proc);
    for (const pid_t child : children) {
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
    }
    ASSERT_TRUE(fast);
    EXPECT_TRUE(counter.LastCountWasFast());
    constexpr std::uint64_t Tolerance = 3;
    EXPECT_GE(*fast + Tolerance, std::min(before, after));
    EXPECT_LE(*fast, std::max(before, after) + Tolerance);
}

} // namespace
} // namespace statlume::platform
