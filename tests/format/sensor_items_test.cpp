#include "platform/fake/test_locales.h"

#include "format_rig.h"
#include <gtest/gtest.h>

namespace statlume {
namespace {

TEST(SensorItems, Temperatures)
{
    struct Row
    {
        const char* name;
        std::int16_t celsius;
        std::string format;
        std::string text;
    };
    const Row rows[] = {
        {"celsius", 45, "C", "45"},
        {"fahrenheit", 45, "F", "113"},
        {"fraction", 46, "F", "114.8"},
        {"lower-case f", 46, "f", "114.8"},
        {"longer word is celsius", 46, "FAHRENHEIT", "46"},
        {"empty is celsius", -12, "", "-12"},
        {"blank after F is celsius", 10, "F ", "10"},
        {"lowest reading", -32768, "F", "-58950.4"},
    };
    TFormatRig rig;
    auto& mbm = dynamic_cast<TMBMFormat&>(rig.Family(TFamily::MBM));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        rig.Shell.Data.Temps[0] = row.celsius;
        rig.Shell.Data.Temps[2] = row.celsius;
        EXPECT_EQ(mbm.Temp1Func(row.format, true, true), row.text);
        EXPECT_EQ(mbm.Temp3Func(row.format, false, false), row.text);
    }
}

TEST(SensorItems, Fans)
{
    struct Row
    {
        const char* name;
        std::int32_t speed;
        std::string text;
    };
    const Row rows[] = {
        {"no reading", 255, "0"},
        {"speed", 4500, "4500"},
        {"minus one", -1, "-1"},
        {"256 is a speed", 256, "256"},
    };
    TFormatRig rig;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        rig.Shell.Data.Fans[1] = row.speed;
        EXPECT_EQ(rig.Render("<NAME=Fan2 FORMAT=\"F\" LEADZERO>"), row.text);
    }
}

TEST(SensorItems, DefaultLinesWithNothingRead)
{
    TFormatRig rig;
    EXPECT_EQ(rig.Render("Temp2: <NAME=Temp2 FORMAT=\"F\">\xC2\xBA Fan3: <NAME=Fan3>"),
              "Temp2: 32\xC2\xBA Fan3: 0");
}

TEST(SensorItems, CommaDecimalSeparator)
{
    TFormatRig rig(platform::GermanLocale());
    rig.Shell.Data.Temps[1] = 46;
    EXPECT_EQ(rig.Render("<NAME=Temp2 FORMAT=\"f\">"), "114,8");
}

} // namespace
} // namespace statlume
