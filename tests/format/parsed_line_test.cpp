#include <string>
#include <vector>

#include "format/default_template.h"
#include "format/parsed_line.h"

#include "format_rig.h"
#include <gtest/gtest.h>

namespace statlume {
namespace {

// Writes down every replacement an observer is told of.
class TCallLog final : public TTagObserver
{
public:
    void OnTagReplaced(const TFormatter&, const TFormatData& item, std::string_view tag,
                       std::size_t start, std::size_t valueSize) override
    {
        Calls.push_back(item.TagName + " " + std::string(tag) + " @" + std::to_string(start) +
                        " +" + std::to_string(valueSize));
    }

    std::vector<std::string> Calls;
};

// The parse is only a shortcut: every line must come out as RenderLine makes it, with the
// observer told the same replacements at the same places, whatever the values hold.
TEST(ParsedLine, RendersAsRenderLine)
{
    struct TCase
    {
        const char* name;
        const char* line;
        const char* computerName;
    };
    const TCase cases[] = {
        {"families out of registry order",
         "<NAME=CompName SIZE=8>|<NAME=Threads SIZE=5 CHAR=.>|<NAME=ProcUsage FORMAT=\"1\" "
         "BAR=10 WARN=50>|<name=threads>",
         "host"},
        {"a value sized before a later family's tag",
         "<NAME=Threads SIZE=9 CHAR=\xC2\xBA> x <NAME=RAMUsed GRAPH=4> <NAME=Threads>", "host"},
        {"a value opening a later family's tag", "<NAME=Uptime FORMAT=\"<NAME=Blank SIZE=3 CHAR=*>",
         "host"},
        {"a value closing a tag", "<NAME=Threads> <NAME=CompName>>", "<NAME=Threads"},
        {"a value holding a tag opening", "<NAME=CompName> <NAME=Threads>", "<NAME=Threads>"},
        {"a tag around another's value", "<NAME=DateTime FORMAT=\"'<NAME=DateTime' hh\">", "host"},
        {"a stray opening", "a < b <NAME=Threads BAR=3>", "host"},
        {"an empty value joining a tag", "<NAME=<NAME=Blank>Threads>", "host"},
        {"a padding character that opens a tag", "<NAME=Threads SIZE=6 CHAR=<>", "host"},
        {"an unclosed tag", "<NAME=Threads> <NAME=Threads unclosed", "host"},
        {"an unknown item", "<NAME=Nothing> <NAME=Threads>", "host"},
        {"no tags", "plain text", "host"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TFormatRig rig;
        rig.Shell.Data.ThreadCount = 312;
        rig.Shell.Data.ProcUsage[1] = 75;
        rig.Shell.Data.ComputerName.Assign(c.computerName);
        DecideAllActive(rig.Formatters, c.line);
        const TParsedLine parsed(rig.Formatters, c.line);
        TCallLog expected;
        TCallLog got;
        EXPECT_EQ(parsed.Render(rig.Formatters, &got),
                  RenderLine(rig.Formatters, c.line, &expected));
        EXPECT_EQ(got.Calls, expected.Calls);
    }
}

TEST(ParsedLine, FitsOnlyTheActiveFlagsItWasParsedFor)
{
    TFormatRig rig;
    const std::string line = ComposeDefaultTemplate(rig.Formatters);
    DecideAllActive(rig.Formatters, line);
    const TParsedLine parsed(rig.Formatters, line);
    EXPECT_TRUE(parsed.Fits(rig.Formatters));
    rig.Family(TFamily::Proc).Active = !rig.Family(TFamily::Proc).Active;
    EXPECT_FALSE(parsed.Fits(rig.Formatters));
}

} // namespace
} // namespace statlume
