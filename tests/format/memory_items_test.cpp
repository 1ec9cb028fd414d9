#include "platform/fake/test_locales.h"

#include "format_rig.h"
#include <gtest/gtest.h>

namespace statlume {
namespace {

struct MemoryRow
{
    const char* name;
    std::uint64_t pageFree;
    std::uint64_t pageTotal;
    std::uint64_t ramFree;
    std::uint64_t ramTotal;
    std::string templateLine;
    std::string text;
};

constexpr std::uint64_t MB = 1048576;

TEST(MemoryItems, Figures)
{
    const MemoryRow rows[] = {
        {"RAM total", 0, 0, 0, 536000000, "<NAME=RAMTotal>|<NAME=RAMTotal DECIMAL>", "511|511.17"},
        {"page total", 0, 1073741824, 0, 0, "<NAME=PageTotal>|<NAME=PageTotal DECIMAL>",
         "1024|1024.00"},
        {"RAM free share", 0, 0, 134217728, 536870912,
         "<NAME=RAMFree FORMAT=\"%\">|<NAME=RAMFree FORMAT=\"%\" DECIMAL>", "25|25.00"},
        {"RAM used share", 0, 0, 134217728, 536870912,
         "<NAME=RAMUsed FORMAT=\"%\">|<NAME=RAMUsed FORMAT=\"%\" DECIMAL>", "75|75.00"},
        {"percent with blanks is MB", 0, 0, 134217728, 536870912,
         "<NAME=RAMUsed FORMAT=\" %\">|<NAME=RAMFree FORMAT=\"%%\">", "384|128"},
        {"page used and free in MB", 300 * MB, 1000 * MB, 0, 0,
         "<NAME=PageUsed>/<NAME=PageFree DECIMAL>", "700/300.00"},
        {"free held at single precision, total not", 100000 * MB + 4719, 100000 * MB + 4719, 0, 0,
         "<NAME=PageFree DECIMAL>|<NAME=PageTotal DECIMAL>", "100000.01|100000.00"},
        {"zero total share", 0, 0, 0, 0,
         "<NAME=PageFree FORMAT=\"%\">|<NAME=RAMUsed FORMAT=\"%\" "
         "DECIMAL>",
         "0|0.00"},
        {"free above total uses nothing", 200 * MB, 100 * MB, 0, 0,
         "<NAME=PageUsed>|<NAME=PageUsed FORMAT=\"%\">|<NAME=PageFree FORMAT=\"%\">", "0|0|200"},
        {"above 4 GiB", 2 * 1024 * MB, 64ull * 1024 * MB, 3 * 1024 * MB, 16ull * 1024 * MB,
         "<NAME=PageTotal>|<NAME=PageUsed>|<NAME=RAMTotal>|<NAME=RAMFree>",
         "65536|63488|16384|3072"},
        {"never filled", 0, 0, 0, 0, "<NAME=RAMTotal>|<NAME=RAMFree>|<NAME=PageUsed DECIMAL>",
         "0|0|0.00"},
    };
    for (const MemoryRow& row : rows) {
        SCOPED_TRACE(row.name);
        TFormatRig rig;
        SetMemoryBytes(rig.Shell.Data, row.pageFree, row.pageTotal, row.ramFree, row.ramTotal);
        EXPECT_EQ(rig.Render(row.templateLine), row.text);
    }
}

TEST(MemoryItems, CommaDecimalSeparator)
{
    TFormatRig rig(platform::GermanLocale());
    SetMemoryBytes(rig.Shell.Data, 0, 0, 0, 536000000);
    EXPECT_EQ(rig.Render("<NAME=RAMTotal DECIMAL>|<NAME=RAMUsed DECIMAL>"), "511,17|511,17");
}

} // namespace
} // namespace statlume
