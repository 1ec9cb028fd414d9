#include <optional>
#include <string>

#include "format/draw_options.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

TEST(DrawOptions, ReadsOptionsAndCountsMalformedOnesAsAbsent)
{
    struct Row
    {
        const char* name;
        std::string_view tag;
        std::size_t bar;
        std::size_t graph;
        std::optional<double> warn;
        std::optional<double> crit;
        std::optional<std::uint32_t> colour;
        std::size_t notes;
    };
    const Row rows[] = {
        {"none", "<NAME=ProcUsage DECIMAL SIZE=5>", 0, 0, {}, {}, {}, 0},
        {"all, any case", "<name=procusage bar=10 warn=70.5 crit=90 color=#a0B1c2>", 10, 0, 70.5,
         90, 0xA0B1C2, 0},
        {"graph", "<NAME=NetRead GRAPH=30>", 0, 30, {}, {}, {}, 0},
        {"graph wins over bar", "<NAME=ProcUsage BAR=5 GRAPH=7>", 0, 7, {}, {}, {}, 1},
        {"bar without number", "<NAME=ProcUsage BAR=>", 0, 0, {}, {}, {}, 1},
        {"bar of 0", "<NAME=ProcUsage BAR=0>", 0, 0, {}, {}, {}, 1},
        {"negative bar", "<NAME=ProcUsage BAR=-4>", 0, 0, {}, {}, {}, 1},
        {"wide bar is capped", "<NAME=ProcUsage BAR=513>", 512, 0, {}, {}, {}, 1},
        {"huge graph is capped",
         "<NAME=ProcUsage GRAPH=99999999999999999999999>",
         0,
         512,
         {},
         {},
         {},
         1},
        {"negative threshold", "<NAME=Temp1 WARN=-5 CRIT=0>", 0, 0, -5, 0, {}, 0},
        {"threshold without digits", "<NAME=Temp1 WARN=. CRIT=x>", 0, 0, {}, {}, {}, 2},
        {"short colour", "<NAME=Temp1 COLOR=#12345>", 0, 0, {}, {}, {}, 1},
        {"long colour", "<NAME=Temp1 COLOR=#1234567>", 0, 0, {}, {}, {}, 1},
        {"named colour", "<NAME=Temp1 COLOR=red>", 0, 0, {}, {}, {}, 1},
        {"blank before the value", "<NAME=Temp1 BAR= 5>", 0, 0, {}, {}, {}, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<TDrawNote> notes;
        const TDrawOptions options = ReadDrawOptions(row.tag, &notes);
        EXPECT_EQ(options.BarCells, row.bar);
        EXPECT_EQ(options.GraphCells, row.graph);
        EXPECT_EQ(options.Warn, row.warn);
        EXPECT_EQ(options.Crit, row.crit);
        EXPECT_EQ(options.Colour, row.colour);
        EXPECT_EQ(notes.size(), row.notes);
        EXPECT_EQ(MentionsDrawOptions(row.tag), options.Any() || row.notes != 0);
    }
}

TEST(DrawOptions, ReadsHeightOnlyBesideADrawing)
{
    struct Row
    {
        const char* name;
        std::string_view tag;
        std::size_t lines;
        std::size_t notes;
    };
    const Row rows[] = {
        {"one line by default", "<NAME=ProcUsage GRAPH=9>", 1, 0},
        {"tall graph", "<NAME=ProcUsage GRAPH=9 height=3>", 3, 0},
        {"tall bar is capped", "<NAME=ProcUsage BAR=4 HEIGHT=9>", 8, 1},
        {"height of 0", "<NAME=ProcUsage BAR=4 HEIGHT=0>", 1, 1},
        {"height without a number", "<NAME=ProcUsage BAR=4 HEIGHT=x>", 1, 1},
        {"height without a drawing", "<NAME=ProcUsage HEIGHT=2>", 1, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<TDrawNote> notes;
        EXPECT_EQ(ReadDrawOptions(row.tag, &notes).Lines, row.lines);
        EXPECT_EQ(notes.size(), row.notes);
        EXPECT_TRUE(MentionsDrawOptions(row.tag));
    }
}

TEST(DrawOptions, DropsThresholdsInTheWrongOrder)
{
    struct Row
    {
        const char* name;
        double warn;
        double crit;
        bool lowIsBad;
        bool kept;
    };
    const Row rows[] = {
        {"rising", 70, 90, false, true},
        {"equal", 80, 80, false, true},
        {"warn above crit", 90, 70, false, false},
        {"free space falling", 20, 10, true, true},
        {"free space rising", 10, 20, true, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TDrawOptions options;
        options.Warn = row.warn;
        options.Crit = row.crit;
        std::vector<TDrawNote> notes;
        DropMisorderedThresholds(options, row.lowIsBad, &notes);
        EXPECT_EQ(options.Warn.has_value(), row.kept);
        EXPECT_EQ(options.Crit.has_value(), row.kept);
        EXPECT_EQ(notes.empty(), row.kept);
    }
}

} // namespace
} // namespace statlume
