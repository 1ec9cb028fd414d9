#include "platform/fake/test_locales.h"

#include "format_rig.h"
#include <gtest/gtest.h>

namespace statlume {
namespace {

struct ProcRow
{
    const char* name;
    float usage;
    std::string format;
    bool leadZero;
    bool decimal;
    std::string text;
};

void CheckProcRows(const LocaleInfo& locale, std::initializer_list<ProcRow> rows)
{
    TFormatRig rig(locale);
    auto& proc = dynamic_cast<TProcFormat&>(rig.Family(TFamily::Proc));
    for (const ProcRow& row : rows) {
        SCOPED_TRACE(row.name);
        rig.Shell.Data.ProcUsage[0] = row.usage;
        EXPECT_EQ(proc.ProcUsageFunc(row.format, row.leadZero, row.decimal), row.text);
    }
}

TEST(ProcessorItems, TotalUsage)
{
    CheckProcRows({}, {
                          {"whole", 7.25f, "", false, false, "7"},
                          {"lead zero", 7.25f, "", true, false, "07"},
                          {"decimals", 7.25f, "", false, true, "7.25"},
                          {"both", 7.25f, "", true, true, "07.25"},
                          {"lead zero tested before rounding", 9.6f, "", true, false, "010"},
                          {"half rounds up", 12.5f, "", false, false, "13"},
                          {"full", 100.0f, "", false, false, "100"},
                          {"full with decimals", 100.0f, "", false, true, "100.00"},
                          {"negative with lead zero", -3.0f, "", true, false, "0-3"},
                          {"negative", -3.0f, "", false, false, "-3"},
                          {"negative half away from zero", -2.5f, "", false, false, "-3"},
                          {"exact decimal expansion", 0.125f, "", false, true, "0.13"},
                          {"never filled", 0.0f, "", true, false, "00"},
                          {"ALL reads as total", 7.25f, "ALL", false, false, "7"},
                          {"x reads as total", 7.25f, "x", false, false, "7"},
                      });
}

TEST(ProcessorItems, CommaDecimalSeparator)
{
    CheckProcRows(platform::GermanLocale(), {
                                                {"decimals", 7.25f, "", true, true, "07,25"},
                                                {"whole", 7.25f, "", false, false, "7"},
                                            });
}

TEST(ProcessorItems, FormatSelectsProcessor)
{
    TFormatRig rig;
    auto& proc = dynamic_cast<TProcFormat&>(rig.Family(TFamily::Proc));
    for (int i = 0; i < 5; ++i)
        rig.Shell.Data.ProcUsage[i] = static_cast<float>(10 * i + 1);
    struct Row
    {
        const char* name;
        std::string format;
        std::string text;
    };
    const Row rows[] = {
        {"processor 2", "2", "21"},
        {"processor 4 in hex", "$4", "41"},
        {"total by index", "0", "1"},
        {"total by text", "ALL", "1"},
        {"index 5 without cores beside the record (a client) shows nothing", "5", ""},
        {"negative shows nothing", "-1", ""},
        {"out of range reads as total", "4294967296", "1"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(proc.ProcUsageFunc(row.format, false, false), row.text);
    }
}

// Past the record's four processors the usage comes from beside the record, where only a
// local collection puts it; every other FORMAT keeps its reading.
TEST(ProcessorItems, CoresBeyondFourFromBesideTheRecord)
{
    TFormatRig rig;
    auto& proc = dynamic_cast<TProcFormat&>(rig.Family(TFamily::Proc));
    for (int i = 0; i < 5; ++i)
        rig.Shell.Data.ProcUsage[i] = static_cast<float>(10 * i + 1);
    for (int core = 0; core < 8; ++core)
        rig.Shell.Beyond.Cores.push_back({100.0 - core});
    rig.Shell.Beyond.Cores[6].UsagePercent.reset();
    struct Row
    {
        const char* name;
        std::string format;
        std::string text;
    };
    const Row rows[] = {
        {"core 5", "5", "96"},      {"core 8 in hex", "$8", "93"}, {"total", "0", "1"},
        {"processor 4", "4", "41"}, {"ALL", "ALL", "1"},           {"2 and a blank", "2 ", "1"},
        {"no such core", "9", ""},  {"not measured yet", "7", ""}, {"negative", "-5", ""},
    };
    const TItemRow& row = ItemRow(TItem::ProcUsage);
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(proc.ProcUsageFunc(r.format, false, false), r.text);
        // Bars, graphs and thresholds read the same figure.
        const auto measure = row.Measure(rig.Shell, r.format);
        EXPECT_EQ(measure ? std::to_string(static_cast<int>(measure->Value)) : "", r.text);
    }
}

TEST(ProcessorItems, TagInLine)
{
    TFormatRig rig;
    rig.Shell.Data.ProcUsage[0] = 7.25f;
    EXPECT_EQ(rig.Render("Proc %: <NAME=ProcUsage LEADZERO DECIMAL SIZE=6 FORMAT=\"ALL\">", 1),
              "Proc %:  07.25");
}

} // namespace
} // namespace statlume
