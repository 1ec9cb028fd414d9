#include "platform/fake/test_locales.h"

#include "format_rig.h"
#include <gtest/gtest.h>

namespace statlume {
namespace {

TEST(NetworkItems, ReadAndWrite)
{
    TFormatRig rig;
    auto& net = dynamic_cast<TNetworkFormat&>(rig.Family(TFamily::Network));
    TRawData& d = rig.Shell.Data;
    d.NetRead[0] = 3.5f;
    d.NetRead[2] = 1234.567f;
    d.NetWrite[0] = 0.25f;
    d.NetWrite[4] = 9.99f;
    struct Row
    {
        const char* name;
        bool write;
        std::string format;
        bool leadZero;
        bool decimal;
        std::string text;
    };
    const Row rows[] = {
        {"total rounds half up", false, "", false, false, "4"},
        {"kilobits", false, "b", false, false, "28"},
        {"upper-case B is no conversion", false, "B", false, false, "4"},
        {"kilobits with decimals", false, "b", true, true, "28.00"},
        {"adapter 2", false, "2", false, true, "1234.57"},
        {"adapter 2 no thousands separator", false, "2", true, false, "1235"},
        {"write total with lead zero", true, "ALL", true, true, "00.25"},
        {"write adapter 4", true, "4", true, false, "010"},
        {"adapter 5 shows nothing", true, "5", false, false, ""},
        {"lead zero below 10 after conversion", false, "b", true, false, "28"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string text = row.write ? net.WriteFunc(row.format, row.leadZero, row.decimal)
                                           : net.ReadFunc(row.format, row.leadZero, row.decimal);
        EXPECT_EQ(text, row.text);
    }
}

TEST(NetworkItems, CommaDecimalSeparator)
{
    TFormatRig rig(platform::GermanLocale());
    rig.Shell.Data.NetWrite[0] = 1.5f;
    EXPECT_EQ(rig.Render("<NAME=NetWrite DECIMAL LEADZERO>|<NAME=NetRead>"), "01,50|0");
}

} // namespace
} // namespace statlume
