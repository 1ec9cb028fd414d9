#include <functional>

#include "format/default_template.h"
#include "format/run_renderer.h"
#include "format/run_text.h"

#include "format_rig.h"
#include <gtest/gtest.h>

namespace statlume {
namespace {

constexpr std::uint32_t BytesInMB = 1048576;

struct TRunRig : TFormatRig
{
    TRunRig()
    {
        Shell.Data.ProcUsage[0] = 75;
        Shell.Data.ProcUsage[1] = 95;
        Shell.Data.RAMTotalBytes = 1024 * BytesInMB;
        Shell.Data.RAMFreeBytes = 100 * BytesInMB;
        Shell.Data.ThreadCount = 312;
        Shell.Data.ComputerName.Assign("host");
        Shell.Data.LogonName.Assign("jo");
    }

    TRunLine Runs(std::string_view line, std::int64_t nowMs = 0, bool sample = true)
    {
        if (Renderer.LineCount() != 1 || Renderer.Line(0) != line) {
            DecideAllActive(Formatters, line);
            Renderer.SetLines({std::string(line)});
        }
        return Renderer.Render(Formatters, 0, nowMs, sample);
    }

    TRunRenderer Renderer;
};

// The extension must leave every template without its options exactly as the laid-down rules
// render it: one plain text run.
TEST(RunRenderer, TemplatesWithoutTheNewOptionsRenderAsBefore)
{
    TRunRig rig;
    std::vector<std::string> lines = SplitTemplateLines(ComposeDefaultTemplate(rig.Formatters));
    const std::vector<std::string> more = {
        "",
        "plain text <b>",
        "<NAME=Threads SIZE=5 CHAR=.>and <NAME=Threads>",
        "<name=procusage leadzero decimal size=5 format=\"1\">",
        "<NAME= Threads> <NAME=\"Threads\"> <NAME=Nothing>",
        "<NAME=Uptime FORMAT=\"*S*>",
        "<NAME=Threads unclosed",
        "FOOBAR=1 WARN=2 <NAME=Threads SIZE=5> COLOR=#123456",
        "<NAME=DateTime FORMAT=\"'<NAME=DateTime' hh\">",
        "<NAME=Uptime FORMAT=\"<NAME=ProcUsage\"> <NAME=CompName>",
    };
    lines.insert(lines.end(), more.begin(), more.end());
    for (const std::string& line : lines) {
        SCOPED_TRACE(line);
        const std::string expected = rig.Render(line);
        const TRunLine runs = rig.Runs(line);
        ASSERT_LE(runs.Runs.size(), 1u);
        EXPECT_EQ(PlainText(runs), expected);
        for (const TRun& run : runs.Runs) {
            EXPECT_EQ(run.Kind, TRunKind::Text);
            EXPECT_EQ(run.Tone, TRunTone::Plain);
        }
    }
}

// Parsing costs more than the values: a line is parsed when it is new, and again only when
// the Active flags it was parsed for change (the tray's processor icon).
TEST(RunRenderer, ParsesALineOnceUntilItOrTheActiveFamiliesChange)
{
    TRunRig rig;
    const std::string line = "<NAME=Threads> <NAME=ProcUsage BAR=5>";
    rig.Runs(line);
    rig.Runs(line, 1000);
    rig.Renderer.RenderText(rig.Formatters, 0);
    EXPECT_EQ(rig.Renderer.ParseCount(), 1u);
    rig.Family(TFamily::MBM).Active = true;
    EXPECT_EQ(PlainText(rig.Runs(line, 2000)), "312 75");
    EXPECT_EQ(rig.Renderer.ParseCount(), 2u);
    rig.Runs("<NAME=Threads>");
    EXPECT_EQ(rig.Renderer.ParseCount(), 3u);
}

TEST(RunRenderer, TurnsTagsWithOptionsIntoRuns)
{
    struct TExpected
    {
        TRunKind kind;
        std::string text;
        TRunTone tone;
        double fraction;
    };
    constexpr auto Text = TRunKind::Text;
    constexpr auto Plain = TRunTone::Plain;
    struct Row
    {
        const char* name;
        std::string_view line;
        std::vector<TExpected> runs;
    };
    const Row rows[] = {
        {"warning",
         "CPU <NAME=ProcUsage WARN=70 CRIT=90>%",
         {{Text, "CPU ", Plain, -1},
          {Text, "75", TRunTone::Warning, 0.75},
          {Text, "%", Plain, -1}}},
        {"critical wins over colour",
         "<NAME=ProcUsage FORMAT=\"1\" CRIT=90 COLOR=#00FF00>",
         {{Text, "95", TRunTone::Critical, 0.95}}},
        {"bar keeps its padded value text",
         "<NAME=ProcUsage BAR=10 SIZE=5>",
         {{TRunKind::Bar, "75   ", Plain, 0.75}}},
        {"no maximum: bar ignored, colour kept",
         "<NAME=Threads BAR=10 COLOR=#102030>",
         {{Text, "312", TRunTone::Custom, -1}}},
        {"free space is bad when low",
         "<NAME=RAMFree FORMAT=\"%\" WARN=20 CRIT=10>",
         {{Text, "10", TRunTone::Critical, 100.0 / 1024}}},
        {"free space thresholds in the wrong order are dropped",
         "<NAME=RAMFree WARN=10 CRIT=20>",
         {{Text, "100", Plain, 100.0 / 1024}}},
        {"no swap is no alarm: an empty bar",
         "<NAME=PageFree FORMAT=\"%\" WARN=50 CRIT=20 BAR=3>",
         {{TRunKind::Bar, "0", Plain, -1}}},
        {"an item without a value ignores thresholds",
         "<NAME=UserName CRIT=1>",
         {{Text, "jo", Plain, -1}}},
        {"a later formatter's tag before the run moves it",
         "<NAME=CompName> <NAME=ProcUsage BAR=2>!",
         {{Text, "host ", Plain, -1}, {TRunKind::Bar, "75", Plain, 0.75}, {Text, "!", Plain, -1}}},
        {"a processor index that selects nothing: an empty graph",
         "<NAME=ProcUsage FORMAT=\"9\" GRAPH=5 WARN=1>",
         {{TRunKind::Graph, "", Plain, -1}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TRunRig rig;
        const TRunLine line = rig.Runs(row.line);
        ASSERT_EQ(line.Runs.size(), row.runs.size());
        for (std::size_t i = 0; i < line.Runs.size(); ++i) {
            EXPECT_EQ(line.Runs[i].Kind, row.runs[i].kind);
            EXPECT_EQ(line.Runs[i].Text, row.runs[i].text);
            EXPECT_EQ(line.Runs[i].Tone, row.runs[i].tone);
            EXPECT_FLOAT_EQ(line.Runs[i].Fraction, row.runs[i].fraction);
        }
        EXPECT_EQ(PlainText(line), rig.Render(row.line));
    }
}

// The window draws a figure's padding a digit wide: the blanks SIZE added are marked in the
// text runs, on the side the alignment pads, and no other character is.
TEST(RunRenderer, MarksTheBlanksThatPadAFigure)
{
    const std::string drawing = "<NAME=Threads SIZE=6> <NAME=ProcUsage SIZE=4 WARN=90>% "
                                "<NAME=Threads SIZE=5 CHAR=.> <NAME=ProcUsage BAR=3 SIZE=5>";
    struct Row
    {
        const char* name;
        std::string line;
        std::uint8_t alignment;
        std::vector<std::string> texts;
        std::vector<std::vector<TTextRange>> padding;
    };
    const Row rows[] = {
        {"padded after",
         drawing,
         0,
         {"312    ", "75  ", "% 312.. ", "75   "},
         {{{3, 3}}, {{2, 2}}, {}, {}}},
        {"padded before",
         drawing,
         1,
         {"   312 ", "  75", "% ..312 ", "   75"},
         {{{0, 3}}, {{0, 2}}, {}, {}}},
        {"a line without drawings", "<NAME=Threads size=5>!", 0, {"312  !"}, {{{3, 2}}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TRunRig rig;
        for (auto& formatter : rig.Formatters)
            formatter->Alignment = row.alignment;
        const TRunLine runs = rig.Runs(row.line);
        ASSERT_EQ(runs.Runs.size(), row.texts.size());
        for (std::size_t i = 0; i < runs.Runs.size(); ++i) {
            EXPECT_EQ(runs.Runs[i].Text, row.texts[i]);
            EXPECT_EQ(runs.Runs[i].Padding, row.padding[i]) << i;
        }
    }
}

// A client enters a drive its server does not send with no size: no alarm, an empty bar.
TEST(RunRenderer, ADriveWithoutASizeIsNoAlarm)
{
    struct Row
    {
        const char* name;
        float totalMB;
        TRunTone tone;
        double fraction;
        std::string terminal;
    };
    const Row rows[] = {
        {"not measured", 0, TRunTone::Plain, -1, "0 \u2591\u2591\u2591\u2591"},
        {"measured, low on space", 81920, TRunTone::Critical, 1024.0 / 81920,
         "\x1b[31m1,024\x1b[0m \x1b[31m\u2591\u2591\u2591\u2591\x1b[0m"},
    };
    const std::string line = "<NAME=DriveSpace FORMAT=\"C FREE\" CRIT=2048> "
                             "<NAME=DriveSpace FORMAT=\"C FREE\" CRIT=2048 BAR=4>";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TRunRig rig;
        // The first rendering enters the letter.
        rig.Runs(line);
        rig.Shell.Data.Drives[0].TotalMB = row.totalMB;
        rig.Shell.Data.Drives[0].FreeMB = row.totalMB > 0 ? 1024 : 0;
        const TRunLine runs = rig.Runs(line);
        ASSERT_EQ(runs.Runs.size(), 3u);
        EXPECT_EQ(runs.Runs[2].Kind, TRunKind::Bar);
        EXPECT_EQ(runs.Runs[2].Tone, row.tone);
        EXPECT_FLOAT_EQ(runs.Runs[2].Fraction, row.fraction);
        EXPECT_EQ(RunLineText(runs, TRunTextStyle{true}), row.terminal);
    }
}

TEST(RunRenderer, GraphHistoryIsBoundedAndKeptPerOccurrence)
{
    TRunRig rig;
    const std::string line = "<NAME=ProcUsage GRAPH=3> <NAME=ProcUsage GRAPH=2 FORMAT=\"1\">";
    const auto histories = [&](bool sample) {
        const TRunLine runs = rig.Runs(line, 0, sample);
        return std::pair(runs.Runs.at(0).History, runs.Runs.at(2).History);
    };
    EXPECT_TRUE(histories(false).first.empty()) << "starts empty";
    for (const float value : {10.0f, 20.0f, 30.0f, 40.0f}) {
        rig.Shell.Data.ProcUsage[0] = value;
        histories(true);
    }
    EXPECT_EQ(histories(false).first, (std::vector<float>{0.2f, 0.3f, 0.4f}));
    EXPECT_EQ(histories(false).second, (std::vector<float>{0.95f, 0.95f}));

    rig.Renderer.SetLines({line, "another"});
    EXPECT_EQ(histories(false).first.size(), 3u) << "an unchanged line keeps its history";
    rig.Renderer.SetLines({"changed"});
    rig.Renderer.SetLines({line});
    EXPECT_TRUE(histories(false).first.empty()) << "a changed line starts again";
}

// Each column keeps the colour its value had: a load that starts does not redden the quiet
// past, and one that stops does not clear the alarm from the columns it filled.
TEST(RunRenderer, GraphColumnsKeepTheToneOfTheirOwnValue)
{
    constexpr auto Plain = TRunTone::Plain;
    constexpr auto Custom = TRunTone::Custom;
    constexpr auto Warning = TRunTone::Warning;
    constexpr auto Critical = TRunTone::Critical;
    struct Row
    {
        const char* name;
        const char* line;
        std::vector<float> values;
        std::vector<TRunTone> tones;
        TRunTone base;
    };
    const Row rows[] = {
        {"load starts",
         "<NAME=ProcUsage GRAPH=4 WARN=70 CRIT=90>",
         {10, 20, 30, 95},
         {Plain, Plain, Plain, Critical},
         Plain},
        {"load stops",
         "<NAME=ProcUsage GRAPH=3 WARN=70 CRIT=90>",
         {100, 80, 100, 5},
         {Warning, Critical, Plain},
         Plain},
        {"coloured",
         "<NAME=ProcUsage GRAPH=3 CRIT=90 COLOR=#00FF00>",
         {95, 5},
         {Critical, Custom},
         Custom},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TRunRig rig;
        TRun run;
        for (const float value : row.values) {
            rig.Shell.Data.ProcUsage[0] = value;
            run = rig.Runs(row.line).Runs.at(0);
        }
        EXPECT_EQ(run.HistoryTones, row.tones);
        EXPECT_EQ(run.History.size(), run.HistoryTones.size());
        EXPECT_EQ(run.BaseTone, row.base);
    }
}

TEST(RunRenderer, NetworkRatesScaleToThePeakOfTheLastMinute)
{
    TRunRig rig;
    const std::string line = "<NAME=NetRead BAR=4>";
    const auto fraction = [&](float rate, std::int64_t nowMs) {
        rig.Shell.Data.NetRead[0] = rate;
        return rig.Runs(line, nowMs).Runs.at(0).Fraction;
    };
    EXPECT_DOUBLE_EQ(fraction(100, 0), 1.0);
    EXPECT_DOUBLE_EQ(fraction(50, 10'000), 0.5);
    EXPECT_DOUBLE_EQ(fraction(25, 59'000), 0.25);
    EXPECT_DOUBLE_EQ(fraction(25, 61'000), 0.5) << "the first peak is over a minute old";
    EXPECT_DOUBLE_EQ(fraction(0, 200'000), 0.0);
}

// A figure without a value (a rate from one sample, a step that could not read its data)
// shows no text and never enters a graph or the peak it scales to.
TEST(RunRenderer, FiguresWithoutValueShowNothingAndStayOutOfGraphs)
{
    struct TCase
    {
        const char* name;
        const char* tag;
        std::function<void(TFigureKnown&, bool)> set;
    };
    const TCase cases[] = {
        {"processor 1", "<NAME=ProcUsage FORMAT=\"1\"",
         [](TFigureKnown& k, bool known) { k.Proc[1] = known; }},
        {"network read", "<NAME=NetRead", [](TFigureKnown& k, bool known) { k.Net[0] = known; }},
        {"network write in kbit/s", "<NAME=NetWrite FORMAT=\"b\"",
         [](TFigureKnown& k, bool known) { k.Net[0] = known; }},
        {"threads", "<NAME=Threads", [](TFigureKnown& k, bool known) { k.System = known; }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TRunRig rig;
        rig.Shell.Data.NetRead[0] = 1e6f;
        rig.Shell.Data.NetWrite[0] = 1e6f;
        c.set(rig.Shell.Known, false);
        const std::string tag = c.tag;
        EXPECT_EQ(PlainText(rig.Runs(tag + " LEADZERO DECIMAL>")), "");
        // A drawing keeps its place, empty, so the line's width does not change.
        for (const TRun& run : rig.Runs(tag + " GRAPH=4>", 0, true).Runs) {
            EXPECT_TRUE(run.History.empty());
            EXPECT_LT(run.Fraction, 0.0);
        }
        c.set(rig.Shell.Known, true);
        // The graph then holds what a rig that never lacked the value holds.
        TRunRig fresh;
        for (TRunRig* r : {&rig, &fresh}) {
            r->Shell.Data.NetRead[0] = 1;
            r->Shell.Data.NetWrite[0] = 1;
        }
        const TRunLine known = rig.Runs(tag + " GRAPH=4>", 1000, true);
        const TRunLine expected = fresh.Runs(tag + " GRAPH=4>", 1000, true);
        ASSERT_EQ(known.Runs.size(), 1u);
        EXPECT_EQ(known.Runs[0].History, expected.Runs.at(0).History);
    }
}

} // namespace
} // namespace statlume
