#include "display/qt/sni_types.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

TEST(SniTypes, ToolTipTitleIsTheFirstLineAndTheRestIsEscaped)
{
    struct Row
    {
        const char* name;
        QString text;
        QString figure;
        QString title;
        QString body;
    };
    const Row rows[] = {
        {"status alone", "Statlume", "", "Statlume", ""},
        {"figure in the icon", "Statlume", "42 %", "Statlume", "42 %"},
        {"figures under the status", "Statlume: serving on 6130\nCPU 5", "7 %",
         "Statlume: serving on 6130", "<pre>7 %\nCPU 5</pre>"},
        {"markup in the figures", "Statlume\n<img src=\"/x\"/> & more", "", "Statlume",
         "<pre>&lt;img src=&quot;/x&quot;/&gt; &amp; more</pre>"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const TSniToolTip tip = SniToolTipOf(row.text, row.figure);
        EXPECT_EQ(tip.Title, row.title);
        EXPECT_EQ(tip.Text, row.body);
    }
}

} // namespace
} // namespace statlume
