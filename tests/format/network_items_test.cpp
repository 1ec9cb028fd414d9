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

// An interface's kernel name selects it from beside the record; numbers, "b" and names of no
// interface keep their reading, even where an interface bears that name.
TEST(NetworkItems, InterfaceByName)
{
    TFormatRig rig;
    auto& net = dynamic_cast<TNetworkFormat&>(rig.Family(TFamily::Network));
    for (int i = 0; i < 5; ++i) {
        rig.Shell.Data.NetRead[i] = static_cast<float>(10 * i + 1);
        rig.Shell.Data.NetWrite[i] = static_cast<float>(10 * i + 2);
    }
    for (const char* name : {"eth0", "2", "b"})
        rig.Shell.Beyond.Interfaces.push_back({name, 700.0, 800.0});
    rig.Shell.Beyond.Interfaces.push_back({"wlan0", std::nullopt, std::nullopt});
    struct Row
    {
        const char* name;
        std::string format;
        std::string read;
        std::string write;
    };
    const Row rows[] = {
        {"interface", "eth0", "700", "800"},
        {"not measured yet", "wlan0", "", ""},
        {"ALL", "ALL", "1", "2"},
        {"B", "B", "1", "2"},
        {"2 and a blank", "2 ", "1", "2"},
        {"unknown name", "eth9", "1", "2"},
        {"kilobits", "b", "8", "16"},
        {"total", "0", "1", "2"},
        {"adapter 2", "2", "21", "22"},
        {"adapter 4", "4", "41", "42"},
        {"adapter 5", "5", "", ""},
    };
    const TItemRow& readRow = ItemRow(TItem::NetRead);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(net.ReadFunc(row.format, false, false), row.read);
        EXPECT_EQ(net.WriteFunc(row.format, false, false), row.write);
        const auto measure = readRow.Measure(rig.Shell, row.format);
        EXPECT_EQ(measure ? std::to_string(static_cast<int>(measure->Value)) : "", row.read);
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
