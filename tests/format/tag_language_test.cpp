#include "format/tag_language.h"

#include "format_rig.h"
#include <gtest/gtest.h>

namespace statlume {
namespace {

TEST(TagLanguage, SplitsAtEveryKindOfLineBreak)
{
    struct Row
    {
        const char* name;
        std::string_view text;
        std::vector<std::string> lines;
    };
    const Row rows[] = {
        {"empty text has no lines", "", {}},
        {"one line without break", "abc", {"abc"}},
        {"CR LF is one break", "a\r\nb", {"a", "b"}},
        {"lone CR", "a\rb", {"a", "b"}},
        {"lone LF", "a\nb", {"a", "b"}},
        {"LF CR is two breaks", "a\n\rb", {"a", "", "b"}},
        {"break at the end adds no line", "a\r\n", {"a"}},
        {"empty line in the middle", "a\r\n\r\nb", {"a", "", "b"}},
        {"only a break", "\r\n", {""}},
        {"two breaks at the end", "a\n\n", {"a", ""}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(SplitTemplateLines(row.text), row.lines);
    }
}

TEST(TagLanguage, ReadsOptions)
{
    struct Row
    {
        const char* name;
        std::string_view tag;
        std::string format;
        bool leadZero;
        bool decimal;
        bool hasSize;
        std::size_t width;
        std::string padChar;
    };
    const Row rows[] = {
        {"nothing", "<NAME=Threads>", "", false, false, false, 0, " "},
        {"keywords in any case", "<name=threads leadzero decimal size=5>", "", true, true, true, 5,
         " "},
        {"FORMAT keeps its case", "<NAME=Uptime FORMAT=\"*d* Days\">", "*d* Days", false, false,
         false, 0, " "},
        {"unclosed FORMAT runs to the end", "<NAME=Uptime FORMAT=\"*S*>", "*S*>", false, false,
         false, 0, " "},
        {"single quotes make FORMAT absent", "<NAME=Uptime FORMAT='x'>", "", false, false, false, 0,
         " "},
        {"keyword inside FORMAT counts", "<NAME=DateTime FORMAT=\"'SIZE=9' hh\">", "'SIZE=9' hh",
         false, false, true, 9, " "},
        {"no separator needed", "<NAME=Threads SIZE=5DECIMAL>", "", false, true, true, 5, " "},
        {"blank around equals", "<NAME=Threads SIZE = 5>", "", false, false, false, 0, " "},
        {"SIZE without digits", "<NAME=Threads SIZE=x>", "", false, false, true, 0, " "},
        {"leading zero in SIZE", "<NAME=Threads SIZE=05>", "", false, false, true, 5, " "},
        {"SIZE beyond 32 bits", "<NAME=Threads SIZE=2147483648>", "", false, false, true, 0, " "},
        {"SIZE at the 32-bit limit is capped", "<NAME=Threads SIZE=2147483647>", "", false, false,
         true, MaxTagWidth, " "},
        {"CHAR takes a double quote", "<NAME=Threads SIZE=4 CHAR=\"0\">", "", false, false, true, 4,
         "\""},
        {"CHAR takes the closing bracket", "<NAME=Threads SIZE=4 CHAR=>", "", false, false, true, 4,
         ">"},
        {"CHAR takes a whole UTF-8 character", "<NAME=Threads SIZE=4 CHAR=\xC2\xBA>", "", false,
         false, true, 4, "\xC2\xBA"},
        {"CHAR takes a cut sequence byte by byte", "<NAME=Threads SIZE=4 CHAR=\xE2\x82>", "", false,
         false, true, 4, "\xE2"},
        {"CHAR without SIZE changes nothing", "<NAME=Threads CHAR=.>", "", false, false, false, 0,
         " "},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const TTagOptions options = ReadTagOptions(row.tag);
        EXPECT_EQ(options.Format, row.format);
        EXPECT_EQ(options.LeadZero, row.leadZero);
        EXPECT_EQ(options.Decimal, row.decimal);
        EXPECT_EQ(options.HasSize, row.hasSize);
        EXPECT_EQ(options.Width, row.width);
        EXPECT_EQ(options.PadChar, row.padChar);
    }
}

TEST(TagLanguage, RendersThreadTags)
{
    struct Row
    {
        const char* name;
        std::string_view line;
        std::uint8_t alignment;
        std::string rendered;
    };
    const Row rows[] = {
        {"lower-case tag", "<name=threads size=5>", 0, "312  "},
        {"blank after equals is no tag", "<NAME= Threads>", 0, "<NAME= Threads>"},
        {"quoted name is no tag", "<NAME=\"Threads\">", 0, "<NAME=\"Threads\">"},
        {"CHAR pads after when left-aligned", "<NAME=Threads SIZE=5 CHAR=.>", 0, "312.."},
        {"CHAR pads before when right-aligned", "<NAME=Threads SIZE=5 CHAR=.>", 1, "..312"},
        {"SIZE never cuts", "<NAME=Threads SIZE=2>", 0, "312"},
        {"empty SIZE gives no padding", "<NAME=Threads SIZE=>", 0, "312"},
        {"CHAR pads with a double quote", "<NAME=Threads SIZE=4 CHAR=\"0\">", 0, "312\""},
        {"each tag with its own options", "<NAME=Threads SIZE=5>and <NAME=Threads>", 0,
         "312  and 312"},
        {"name matched as a prefix", "x<NAME=ThreadsXYZ>y", 0, "x312y"},
        {"unknown name stays literal", "<NAME=Thread> <NAME=Nothing>", 0,
         "<NAME=Thread> <NAME=Nothing>"},
        {"line without tags", "Plain text > here", 0, "Plain text > here"},
        {"empty line", "", 0, ""},
        {"unclosed tag stays literal", "a <NAME=Threads> b <NAME=Threads c", 0,
         "a 312 b <NAME=Threads c"},
        {"huge SIZE is capped", "<NAME=Threads SIZE=99999 CHAR=->", 0,
         "312" + std::string(MaxTagWidth - 3, '-')},
        {"multi-byte CHAR", "<NAME=Threads SIZE=5 CHAR=\xC2\xBA>", 1,
         "\xC2\xBA\xC2\xBA"
         "312"},
    };
    TFormatRig rig;
    rig.Shell.Data.ThreadCount = 312;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(rig.Render(row.line, row.alignment), row.rendered);
    }
}

TEST(TagLanguage, SizeCountsCharactersNotBytes)
{
    TFormatRig rig;
    rig.Shell.Data.ComputerName.Assign("M\xC3\xBCller"); // six characters, seven bytes
    EXPECT_EQ(rig.Render("[<NAME=CompName SIZE=8>]"), "[M\xC3\xBCller  ]");
}

TEST(TagLanguage, SizeCountsEveryStrayByteAsOneCharacter)
{
    struct Row
    {
        const char* name;
        const char* computerName;
        const char* rendered;
    };
    const Row rows[] = {
        {"lone Latin-1 degree sign", "\xBA", "[\xBA...]"},
        {"sequence cut short", "a\xE2\xA2", "[a\xE2\xA2.]"},
        {"lead byte alone", "\xC3", "[\xC3...]"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TFormatRig rig;
        rig.Shell.Data.ComputerName.Assign(row.computerName);
        EXPECT_EQ(rig.Render("[<NAME=CompName SIZE=4 CHAR=.>]"), row.rendered);
    }
}

TEST(TagLanguage, InactiveFormatterLeavesLineUnchanged)
{
    TFormatRig rig;
    rig.Shell.Data.ThreadCount = 312;
    TFormatter& utp = rig.Family(TFamily::UTP);
    utp.Active = false;
    EXPECT_EQ(utp.ReplaceTags("<NAME=Threads>"), "<NAME=Threads>");
    utp.Active = true;
    EXPECT_EQ(utp.ReplaceTags("<NAME=Threads>"), "312");
}

TEST(TagLanguage, ValueHoldingItsOwnTagEnds)
{
    TFormatRig rig;
    // The uptime value is its FORMAT text here, which opens another uptime tag.
    EXPECT_EQ(rig.Render("<NAME=Uptime FORMAT=\"<NAME=Uptime>"), "<NAME=Uptime>");
    EXPECT_EQ(rig.Render("<NAME=Uptime FORMAT=\"<NAME=Uptime\"> <NAME=Uptime FORMAT=\"x\">"),
              "<NAME=Uptime x");
}

TEST(TagLanguage, LaterFormattersRenderEarlierValues)
{
    TFormatRig rig;
    rig.Shell.Data.ThreadCount = 7;
    rig.Shell.Data.ComputerName.Assign("<NAME=Threads");
    // Uptime comes before the host family, so a host tag inside its value is rendered; a
    // thread tag produced by the host family comes too late and stays literal.
    EXPECT_EQ(rig.Render("<NAME=Uptime FORMAT=\"<NAME=Blank SIZE=3 CHAR=*>"), "***");
    EXPECT_EQ(rig.Render("<NAME=Threads> <NAME=CompName>>"), "7 <NAME=Threads>");
}

TEST(TagLanguage, DecideAllActiveMarksOnlyUsedFamilies)
{
    TFormatRig rig;
    DecideAllActive(rig.Formatters, "a\r\n<NAME=Uptime>\r\n");
    for (std::size_t i = 0; i < rig.Formatters.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(rig.Formatters[i]->Active, i == static_cast<std::size_t>(TFamily::UTP));
    }
    DecideAllActive(rig.Formatters, "");
    for (const auto& formatter : rig.Formatters)
        EXPECT_FALSE(formatter->Active);
}

} // namespace
} // namespace statlume
