#include <cstddef>
#include <string>
#include <vector>

#include "format/detail_values.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

// Only a FORMAT that can select a core past four, an interface by name or a GPU asks the
// collector for them; the laid-down readings ask for nothing new.
TEST(DetailValues, TemplateAsksOnlyForWhatItCanShow)
{
    struct TCase
    {
        const char* name;
        std::string text;
        bool cores;
        std::vector<std::string> interfaces;
        std::vector<std::size_t> gpus = {};
    };
    const TCase cases[] = {
        {"nothing", "<NAME=Threads FORMAT=\"eth0\">", false, {}},
        {"processors 0 to 4", "<NAME=ProcUsage FORMAT=\"4\"><NAME=ProcUsage>", false, {}},
        {"core 5", "<NAME=ProcUsage FORMAT=\"4\">\n<name=procusage FORMAT=\"5\">", true, {}},
        {"numbers and b", "<NAME=NetRead FORMAT=\"2\"><NAME=NetWrite FORMAT=\"b\">", false, {}},
        {"each name once",
         "<NAME=NetRead FORMAT=\"eth0\"><NAME=NetWrite FORMAT=\"wlan0\"><NAME=NetWrite "
         "FORMAT=\"eth0\">",
         false,
         {"eth0", "wlan0"}},
        {"an unclosed tag", "<NAME=NetRead FORMAT=\"eth0\"", false, {}},
        {"each GPU once, the first by default",
         "<NAME=GPUUsage><NAME=GPUName FORMAT=\"3\"><NAME=GPUMemUsed FORMAT=\"%\">"
         "<NAME=GPUTemp FORMAT=\"3 %\"><NAME=GPUClock FORMAT=\"x\"><NAME=GPUPower FORMAT=\"0\">",
         false,
         {},
         {1, 3}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        const TFigureDetail detail = TemplateFigureDetail(c.text);
        EXPECT_EQ(detail.CoresBeyondFour, c.cores);
        EXPECT_EQ(detail.InterfaceNames, c.interfaces);
        EXPECT_EQ(detail.GpuPlaces, c.gpus);
    }
}

} // namespace
} // namespace statlume
