#include "format/default_template.h"

#include "format_rig.h"
#include <gtest/gtest.h>

namespace statlume {
namespace {

TEST(DefaultTemplate, EightLinesFromDefaultUsageStrings)
{
    TFormatRig rig;
    const std::string expected =
        "Proc %: <NAME=ProcUsage LEADZERO DECIMAL SIZE=5 FORMAT=\"ALL\">\r\n"
        "Processes: <NAME=Processes SIZE=5>Threads: <NAME=Threads SIZE=5>\r\n"
        "<NAME=Uptime FORMAT=\"*d* days, *H* hrs, *M* mins, *S* secs\" SIZE=20>\r\n"
        "PageUsed: <NAME=PageUsed>/PageTotal: <NAME=PageTotal>\r\n"
        "RAMUsed: <NAME=RAMUsed>/RAMTotal: <NAME=RAMTotal>\r\n"
        "<NAME=DateTime FORMAT=\"'Date' dd/mm/yy 'Time' hh:nn\">\r\n"
        "<NAME=IPAddr>\r\n"
        "<NAME=CompName>";
    const std::string text = ComposeDefaultTemplate(rig.Formatters);
    EXPECT_EQ(text, expected);
    EXPECT_EQ(SplitTemplateLines(text).size(), 8u);
}

TEST(DefaultTemplate, RendersEveryLine)
{
    TFormatRig rig;
    TRawData& d = rig.Shell.Data;
    d.ProcUsage[0] = 7.25f;
    d.ProcessCount = 42;
    d.ThreadCount = 312;
    d.UptimeSecs = 93784;
    SetMemoryBytes(d, 134217728, 1073741824, 134217728, 536870912);
    d.LocalTime = 37685 + 847.0 / 1440.0;
    d.IPAddrs[0][0] = 10;
    d.IPAddrs[0][3] = 1;
    d.ComputerName.Assign("HOST");

    const std::string text = ComposeDefaultTemplate(rig.Formatters);
    DecideAllActive(rig.Formatters, text);
    std::vector<std::string> rendered;
    for (const std::string& line : SplitTemplateLines(text))
        rendered.push_back(RenderLine(rig.Formatters, line));
    const std::vector<std::string> expected = {
        "Proc %: 07.25",
        "Processes: 42   Threads: 312  ",
        "1 days, 02 hrs, 03 mins, 04 secs",
        "PageUsed: 896/PageTotal: 1024",
        "RAMUsed: 384/RAMTotal: 512",
        "Date 05/03/03 Time 14:07",
        "10.0.0.1",
        "HOST",
    };
    EXPECT_EQ(rendered, expected);
}

} // namespace
} // namespace statlume
