#include <limits>

#include "format/formatter.h"
#include "platform/fake/memory_registry.h"
#include "settings/uptime_records.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

using platform::TMemoryRegistry;
using platform::TRegistryValue;

constexpr const char* Key = "Software\\Quorvale\\Statlume";
constexpr std::int64_t Max64 = std::numeric_limits<std::int64_t>::max();

struct TStored
{
    std::optional<std::int64_t> longest;
    std::optional<std::int64_t> total;
    std::optional<std::int32_t> count;
};

// A registry with the key open and the given records in it.
class TRecordsRegistry : public TMemoryRegistry
{
public:
    explicit TRecordsRegistry(const TStored& stored)
    {
        OpenKey(Key, true);
        if (stored.longest) {
            WriteBinary("LongestUptime", EncodeInt64(*stored.longest));
        }
        if (stored.total) {
            WriteBinary("TotalUptime", EncodeInt64(*stored.total));
        }
        if (stored.count) {
            WriteInteger("UptimeCount", *stored.count);
        }
    }
};

const platform::TReportFunc Collect = [](const std::string& m) { ADD_FAILURE() << m; };

TEST(UptimeRecords, Int64IsEightLittleEndianBytes)
{
    EXPECT_EQ(EncodeInt64(0x0102030405060708), (std::vector<std::uint8_t>{8, 7, 6, 5, 4, 3, 2, 1}));
    EXPECT_EQ(EncodeInt64(-2),
              (std::vector<std::uint8_t>{0xfe, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff}));
    for (const std::int64_t value :
         {std::int64_t{0}, std::int64_t{-1}, Max64, std::numeric_limits<std::int64_t>::min()}) {
        EXPECT_EQ(DecodeInt64(EncodeInt64(value)), value);
    }
    EXPECT_EQ(DecodeInt64({1, 2, 3, 4}), std::nullopt);
}

TEST(UptimeRecords, ExitBookkeeping)
{
    struct Row
    {
        const char* name;
        TStored before;
        std::int64_t last;
        TStored after;
    };
    const Row rows[] = {
        {"first exit", {}, 3600, {3600, 3600, 1}},
        {"longer uptime raises the longest", {100, 300, 3}, 200, {200, 500, 4}},
        {"shorter uptime keeps the longest", {9000, 9000, 1}, 60, {9000, 9060, 2}},
        {"template without uptime items adds 0 and counts", {500, 1000, 2}, 0, {500, 1000, 3}},
        {"client mode adds 0 and counts", {}, 0, {0, 0, 1}},
        {"count 0 is no record", {10, 999, 0}, 10, {10, 10, 1}},
        {"total without count starts over", {10, 999, std::nullopt}, 5, {10, 5, 1}},
        {"total saturates", {Max64, Max64 - 5, 7}, 10, {Max64, Max64, 8}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TRecordsRegistry registry(row.before);
        RecordUptimeAtExit(registry, row.last, Collect);
        const TUptimeRecords after = ReadUptimeRecords(registry, Collect);
        // A missing longest record reads as 0, which "client mode" leaves unwritten.
        EXPECT_EQ(after.Longest.value_or(0), row.after.longest);
        EXPECT_EQ(after.Total, row.after.total);
        EXPECT_EQ(after.Count, row.after.count);
    }
}

TEST(UptimeRecords, LongestCommandStoresALargerCurrentValue)
{
    struct Row
    {
        const char* name;
        std::optional<std::int64_t> stored;
        std::int64_t last;
        std::int64_t shown;
        std::optional<std::int64_t> storedAfter;
    };
    const Row rows[] = {
        {"first use shows and stores the current uptime", std::nullopt, 4000, 4000, 4000},
        {"stored record is larger", 90000, 4000, 90000, 90000},
        {"nothing measured yet", std::nullopt, 0, 0, std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TRecordsRegistry registry({row.stored, std::nullopt, std::nullopt});
        EXPECT_EQ(LongestUptimeSecs(registry, row.last, Collect), row.shown);
        EXPECT_EQ(ReadUptimeRecords(registry, Collect).Longest, row.storedAfter);
    }
}

TEST(UptimeRecords, AverageIsTruncatedQuotientOrTheCurrentUptime)
{
    struct Row
    {
        const char* name;
        TStored stored;
        std::int64_t last;
        std::int64_t average;
    };
    const Row rows[] = {
        {"first use shows the current uptime", {}, 777, 777},
        {"stored average", {0, 1000, 3}, 5, 333},
        {"negative total truncates toward zero", {0, -7, 2}, 5, -3},
        {"count 0 is no record", {0, 1000, 0}, 42, 42},
        {"negative count is no record", {0, 1000, -1}, 42, 42},
        {"count without total", {0, std::nullopt, 4}, 42, 42},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TRecordsRegistry registry(row.stored);
        EXPECT_EQ(AverageUptimeSecs(registry, row.last, Collect), row.average);
    }
}

TEST(UptimeRecords, WrongTypedRecordIsReportedAndCountsAsMissing)
{
    TMemoryRegistry registry;
    registry.OpenKey(Key, true);
    registry.WriteInteger("LongestUptime", 5);
    registry.WriteBinary("TotalUptime", {1, 2});
    registry.WriteInteger("UptimeCount", 3);
    std::vector<std::string> reports;
    const platform::TReportFunc report = [&](const std::string& m) { reports.push_back(m); };
    EXPECT_EQ(AverageUptimeSecs(registry, 60, report), 60);
    EXPECT_EQ(LongestUptimeSecs(registry, 60, report), 60);
    EXPECT_EQ(reports, (std::vector<std::string>{"Invalid data type for 'LongestUptime'",
                                                 "Invalid data type for 'TotalUptime'",
                                                 "Invalid data type for 'LongestUptime'"}));
}

TEST(UptimeRecords, MessagesUseTheUptimeFormat)
{
    const std::string format = "*d* days, *H* hrs, *M* mins, *S* secs";
    TRecordsRegistry registry({100000, 300000, 2});
    EXPECT_EQ(LongestUptimeMessage(registry, format, 50, Collect),
              "Longest Uptime for this system is:\r\n" +
                  TUTPFormat::UpTimeSubFormat(format, false, 100000));
    EXPECT_EQ(AverageUptimeMessage(registry, format, 50, Collect),
              "Average Uptime:\r\n" + TUTPFormat::UpTimeSubFormat(format, false, 150000));
}

} // namespace
} // namespace statlume
