#include <chrono>
#include <sstream>
#include <string>
#include <vector>

#include "cli/alert_line.h"
#include "cli/error_lines.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace statlume {
namespace {

using namespace std::chrono_literals;

TEST(AlertLine, WritesPlainWordsOnlyWhenTheStateChanges)
{
    std::ostringstream err;
    TAlertLine line(err);
    line.Set(false, "connected to a:1");
    line.Set(true, CannotReachText(ServerText("::1", 6130), TSocketOp::Connect, ECONNREFUSED));
    line.Set(true, "cannot reach again");
    EXPECT_TRUE(line.Alert());
    EXPECT_EQ(err.str(), "statlume-cli: cannot reach [::1]:6130: Connection refused\n");
}

TEST(AlertLine, ReasonsNameWhatFailed)
{
    struct TRow
    {
        const char* name;
        TSocketOp op;
        int code;
        const char* text;
    };
    const TRow rows[] = {
        {"look-up codes are no errno", TSocketOp::Lookup, 1,
         "cannot reach h:1: the name cannot be looked up"},
        {"server closed", TSocketOp::Disconnect, ECONNRESET,
         "cannot reach h:1: the server closed the connection"},
        {"read error", TSocketOp::Read, ECONNRESET, "cannot reach h:1: Connection reset by peer"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(CannotReachText("h:1", row.op, row.code), row.text);
    }
    EXPECT_EQ(ServerText("[::1]", 1), "[::1]:1");
    EXPECT_EQ(ServerText("Host.Example", 2), "Host.Example:2");
}

TEST(ErrorLines, AtMostOneLineAGapWithTheLatestHeldLineAndItsCount)
{
    struct TRow
    {
        const char* name;
        std::vector<std::pair<int, std::string>> posts; // (ms, line); "" = flush only
        std::string written;
    };
    const TRow rows[] = {
        {"spaced lines pass at once", {{0, "a"}, {1000, "b"}, {2500, "c"}}, "a\nb\nc\n"},
        {"a burst keeps the latest and counts the rest",
         {{0, "a"}, {10, "b"}, {20, "c"}, {30, "d"}, {999, ""}, {1000, ""}},
         "a\nd (2 more)\n"},
        {"one held line has no count", {{0, "a"}, {500, "b"}, {1200, ""}}, "a\nb\n"},
        {"a held line waits a gap after the last written one",
         {{0, "a"}, {1500, "b"}, {1600, "c"}, {2400, ""}, {2500, ""}},
         "a\nb\nc\n"},
        {"a line after a flush waits for the next gap",
         {{0, "a"}, {10, "b"}, {1000, ""}, {1100, "c"}, {1900, ""}, {2000, ""}},
         "a\nb\nc\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::string out;
        auto now = TErrorLines::TClock::time_point{} + 100h;
        const auto start = now;
        TErrorLines lines([&](std::string_view text) { out += text; }, nullptr,
                          [&] { return now; });
        for (const auto& [ms, text] : row.posts) {
            now = start + std::chrono::milliseconds(ms);
            if (text.empty())
                lines.Flush();
            else
                lines.Post(text);
        }
        EXPECT_EQ(out, row.written);
    }
}

TEST(ErrorLines, AFullPipeNeverBlocksAndDropsWhatDoesNotFit)
{
    int pipeFds[2];
    ASSERT_EQ(::pipe2(pipeFds, O_CLOEXEC), 0);
    const std::string block(4096, 'x');
    std::size_t taken = 0;
    // Nobody reads: the pipe fills, and every later write returns at once with nothing taken.
    for (int i = 0; i < 64; ++i)
        taken += WriteWithoutBlocking(pipeFds[1], block);
    EXPECT_GT(taken, 0u);
    EXPECT_EQ(WriteWithoutBlocking(pipeFds[1], "late line\n"), 0u);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
}

} // namespace
} // namespace statlume
