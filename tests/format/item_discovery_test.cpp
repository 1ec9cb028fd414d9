#include <string>
#include <vector>

#include "format/item_discovery.h"
#include "format/tag_language.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

TEST(ItemDiscovery, SuggestsTheNearestTagForATypoOnly)
{
    struct TCase
    {
        const char* name;
        const char* word;
        const char* suggestion;
    };
    const TCase cases[] = {
        {"letter dropped", "ProcUsge", "ProcUsage"},
        {"other case", "ramfre", "RAMFree"},
        {"letters swapped", "Thraeds", "Threads"},
        {"digit missing picks the first in registry order", "Temp", "Temp1"},
        {"plural", "Processess", "Processes"},
        {"far from every tag", "Xyzzy", ""},
        {"empty", "", ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(NearestTagName(c.word), c.suggestion);
    }
}

TEST(ItemDiscovery, CheckTemplateReportsTagsThatNameNoItem)
{
    struct TCase
    {
        const char* name;
        const char* templateText;
        std::vector<std::string> reports;
    };
    const TCase cases[] = {
        {"default-like template is clean",
         "Proc %: <NAME=ProcUsage LEADZERO DECIMAL SIZE=5 FORMAT=\"ALL\">\r\n<name=threads>",
         {}},
        {"prefix match renders, so it is no typo", "<NAME=ProcUsageXYZ>", {}},
        {"typo with options",
         "x\n<NAME=ProcUsge DECIMAL>",
         {"line 2: <NAME=ProcUsge DECIMAL>: no such item; did you mean ProcUsage?"}},
        {"blank and quote before the name",
         "<NAME= Threads> <NAME=\"Uptime\">",
         {"line 1: <NAME= Threads>: no such item; did you mean Threads?",
          "line 1: <NAME=\"Uptime\">: no such item; did you mean Uptime?"}},
        {"nothing close", "<NAME=Xyzzy>", {"line 1: <NAME=Xyzzy>: no such item"}},
        {"no closing bracket, control characters shown as ?",
         "<NAME=Fo\x1bo",
         {"line 1: <NAME=Fo?o: no such item"}},
        {"long tag cut",
         "<NAME=Zzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzz>",
         {"line 1: <NAME=Zzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzz...: no such item"}},
        {"empty template", "", {}},
        {"drawing options the item cannot use",
         "<NAME=Threads BAR=5 WARN=9 CRIT=3>\n<NAME=UserName CRIT=1> <NAME=ProcUsage GRAPH=0>",
         {"line 1: <NAME=Threads BAR=5 WARN=9 CRIT=3>: WARN: above CRIT; WARN and CRIT ignored",
          "line 1: <NAME=Threads BAR=5 WARN=9 CRIT=3>: BAR: ignored, the item has no maximum",
          "line 2: <NAME=UserName CRIT=1>: WARN, CRIT: ignored, the item has no numeric value",
          "line 2: <NAME=ProcUsage GRAPH=0>: GRAPH: 0 cells; ignored"}},
        {"no maximum, negative, too wide, short colour",
         "<NAME=Uptime BAR=5> <NAME=ProcUsage BAR=-3>\n<NAME=ProcUsage BAR=100000 COLOR=#12345>",
         {"line 1: <NAME=Uptime BAR=5>: BAR: ignored, the item has no maximum",
          "line 1: <NAME=Uptime BAR=5>: FORMAT: none, so it shows nothing (try "
          "FORMAT=\"*d* days, *H*:*M*\")",
          "line 1: <NAME=ProcUsage BAR=-3>: BAR: needs a number of cells; ignored",
          "line 2: <NAME=ProcUsage BAR=100000 COLOR=#12345>: BAR: wider than 512 cells; drawn 512 "
          "wide",
          "line 2: <NAME=ProcUsage BAR=100000 COLOR=#12345>: COLOR: needs #RRGGBB; ignored"}},
        {"well-formed drawing options are clean",
         "<NAME=ProcUsage GRAPH=30 WARN=70 CRIT=90 COLOR=#80c0ff> <NAME=RAMFree BAR=8 WARN=20 "
         "CRIT=10>",
         {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> reports;
        for (const TTagProblem& problem : CheckTemplateTags(c.templateText))
            reports.push_back(TagProblemText(problem));
        EXPECT_EQ(reports, c.reports);
    }
}

TEST(ItemDiscovery, NamesTagsThatShowNothingOnThisMachine)
{
    TMachineFacts machine;
    machine.ProcessorCount = 4;
    machine.GpuCount = 1;
    machine.Interfaces = std::vector<std::string>{"eth0"};
    machine.Batteries = std::vector<std::string>{"", "BAT0"};
    machine.Disks = std::vector<std::string>{"sda"};
    machine.DriveLetters = "C";
    struct TCase
    {
        const char* templateText;
        const char* onMachine;
        // Without facts (a client): only what holds everywhere.
        const char* unknown;
    };
    const TCase cases[] = {
        {"<NAME=Uptime>", "FORMAT: none, so it shows nothing (try FORMAT=\"*d* days, *H*:*M*\")",
         "FORMAT: none, so it shows nothing (try FORMAT=\"*d* days, *H*:*M*\")"},
        {"<NAME=Uptime FORMAT=\"*d*\">", "", ""},
        {"<NAME=ProcUsage FORMAT=\"5\">", "FORMAT: no processor 5 here (4 processors)", ""},
        {"<NAME=ProcUsage FORMAT=\"4\">", "", ""},
        {"<NAME=GPUTemp FORMAT=\"2\">", "FORMAT: no GPU 2 here (1 GPU), so it shows nothing", ""},
        {"<NAME=GPUMemUsed FORMAT=\"%\">", "", ""},
        {"<NAME=GPUName FORMAT=\"first\">", "FORMAT: names no GPU, so it shows nothing",
         "FORMAT: names no GPU, so it shows nothing"},
        {"<NAME=NetRead FORMAT=\"wlan0\">",
         "FORMAT: no interface \"wlan0\" here, so it shows the total", ""},
        {"<NAME=NetWrite FORMAT=\"eth0\"> <NAME=NetRead FORMAT=\"b\">", "", ""},
        {"<NAME=BatteryTime FORMAT=\"BAT1\">",
         "FORMAT: no battery \"BAT1\" here, so it shows nothing", ""},
        {"<NAME=BatteryCharge>", "", ""},
        {"<NAME=DiskWrite FORMAT=\"nvme0n1\">",
         "FORMAT: no disk \"nvme0n1\" here, so it shows nothing", ""},
        {"<NAME=DriveSpace FORMAT=\"D FREE\">",
         "FORMAT: the drive map has no D, so it shows nothing", ""},
        {"<NAME=DriveSpace FORMAT=\"c TOTAL\">", "", ""},
        {"<NAME=DriveSpace>", "FORMAT: no drive letter, so it shows nothing",
         "FORMAT: no drive letter, so it shows nothing"},
    };
    const auto notes = [](std::string_view text, const TMachineFacts& facts) {
        std::string joined;
        for (const TTagProblem& problem : CheckTemplateTags(text, facts))
            joined += problem.Note;
        return joined;
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.templateText);
        EXPECT_EQ(notes(c.templateText, machine), c.onMachine);
        EXPECT_EQ(notes(c.templateText, {}), c.unknown);
    }
}

TEST(ItemDiscovery, PlacesAProblemByLineAndCharacter)
{
    const auto problems = CheckTemplateTags("a\nCPU \u00b0 <NAME=ProcUsge>");
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(TagProblemText(problems[0], TProblemPlace::LineAndColumn),
              "line 2, column 7: <NAME=ProcUsge>: no such item; did you mean ProcUsage?");
}

TEST(ItemDiscovery, ListsAndDescribesTheRegistry)
{
    const std::string list = ItemListText();
    EXPECT_LT(list.find("\nTemp1 "), list.find("\nDriveSpace "));
    EXPECT_NE(list.find("\nProcUsage     FORMAT LEADZERO DECIMAL  Proc %: <NAME=ProcUsage"),
              std::string::npos);
    EXPECT_NE(list.find("\nBatteryCharge FORMAT"), std::string::npos);
    // A table within 80 columns: every line's cells start where the heading's do.
    const std::vector<std::string> lines = SplitTemplateLines(list);
    const std::size_t options = lines[0].find("OPTIONS");
    const std::size_t usage = lines[0].find("DEFAULT USAGE");
    std::size_t rows = 0;
    for (const std::string& line : lines) {
        SCOPED_TRACE(line);
        EXPECT_LE(line.size(), 80u);
        if (line.empty())
            break;
        ++rows;
        EXPECT_EQ(line[options - 1], ' ');
        EXPECT_TRUE(line.size() <= usage || line[usage - 1] == ' ');
        EXPECT_NE(line.back(), ' ');
    }
    EXPECT_GT(rows, ItemCount) << "a heading and a line or more per item";

    TRawDataShell shell;
    LocaleInfo locale;
    const TFormatterList formatters = CreateFormatters(shell, locale);
    for (const char* name : {"threads", "System Thread Count"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(DescribeItem(formatters, name),
                  "Total number of Threads active across the system.\n Uses SIZE.\n"
                  " <NAME=Threads>.\n\nDefault Usage String:\nThreads: <NAME=Threads SIZE=5>\n"
                  "Also takes COLOR=#RRGGBB (text colour), WARN=X and CRIT=Y (warning and "
                  "critical colour at or above them).\n");
    }
    EXPECT_EQ(DescribeItem(formatters, "Thread"), std::nullopt);
    // The laid-down help, then what FORMAT selects beyond the record, then the drawings.
    const std::string proc = DescribeItem(formatters, "ProcUsage").value_or("");
    EXPECT_LT(proc.find("or ALL for the total."), proc.find("Format 5 and above"));
    EXPECT_LT(proc.find("Format 5 and above"), proc.find("Also takes"));
    EXPECT_NE(DescribeItem(formatters, "NetWrite")->find("interface's kernel name"),
              std::string::npos);
}

} // namespace
} // namespace statlume
