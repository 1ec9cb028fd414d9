#include "display/label_layout.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

TLabelBox Flowing(int width, int height)
{
    return {0, 0, width, height, false};
}

TLabelBox Placed(int left, int top, int width, int height)
{
    return {left, top, width, height, true};
}

TEST(LabelLayout, ArrangesAndAlignsLabels)
{
    struct TCase
    {
        const char* name;
        std::vector<TLabelBox> labels;
        TWindowBox window;
        bool keepRightEdge;
        bool autoSize;
        std::uint8_t textAlign;
        std::vector<int> tops;
        std::vector<int> lefts;
        TWindowBox expected;
    };
    const TCase cases[] = {
        {"empty template shrinks to 2 x 2",
         {},
         {719, 25, 80, 40},
         false,
         true,
         0,
         {},
         {},
         {719, 25, 2, 2}},
        {"flowing column, left aligned",
         {Flowing(50, 13), Flowing(80, 13), Flowing(30, 13)},
         {719, 25, 10, 10},
         false,
         true,
         0,
         {2, 17, 32},
         {1, 1, 1},
         {719, 25, 86, 47}},
        {"right aligned keeps a gap of two",
         {Flowing(50, 13), Flowing(80, 13)},
         {719, 25, 10, 10},
         false,
         true,
         1,
         {2, 17},
         {34, 4},
         {719, 25, 86, 32}},
        {"placed label keeps its slot and position",
         {Flowing(50, 13), Placed(100, 5, 40, 13), Flowing(30, 13)},
         {0, 0, 10, 10},
         false,
         true,
         1,
         {2, 5, 32},
         {90, 100, 110},
         {0, 0, 142, 47}},
        {"last placed label sets the bottom, not the lowest",
         {Placed(0, 200, 10, 13), Placed(0, 60, 10, 13), Flowing(20, 13)},
         {0, 0, 10, 10},
         false,
         true,
         0,
         {200, 60, 32},
         {0, 0, 1},
         {0, 0, 26, 75}},
        {"step comes from the first label even when placed",
         {Placed(0, 0, 10, 30), Flowing(20, 13)},
         {0, 0, 10, 10},
         false,
         true,
         0,
         {0, 34},
         {0, 1},
         {0, 0, 26, 66}},
        {"keep right edge grows to the left",
         {Flowing(96, 13)},
         {500, 40, 50, 20},
         true,
         true,
         1,
         {2},
         {4},
         {448, 40, 102, 17}},
        {"manual size keeps the window",
         {Flowing(96, 13), Flowing(10, 13)},
         {500, 40, 50, 20},
         true,
         false,
         1,
         {2, 17},
         {-48, 38},
         {500, 40, 50, 20}},
        {"other align value leaves lefts alone",
         {{7, 0, 20, 13, false}},
         {0, 0, 10, 10},
         false,
         true,
         2,
         {2},
         {7},
         {0, 0, 26, 17}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<TLabelBox> labels = c.labels;
        TWindowBox window = c.window;
        ArrangeLabelBoxes(labels, window, c.keepRightEdge, c.autoSize);
        EXPECT_EQ(window, c.expected);
        ASSERT_EQ(labels.size(), c.tops.size());
        for (std::size_t i = 0; i < labels.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(labels[i].Top, c.tops[i]);
            EXPECT_EQ(AlignedLeft(labels[i], window.Width, c.textAlign).value_or(labels[i].Left),
                      c.lefts[i]);
        }
    }
}

TEST(LabelLayout, RelayoutSizeAndRightEdgeRules)
{
    EXPECT_TRUE(RenderNeedsLayout({"Proc 5", "BLANK"}));
    EXPECT_FALSE(RenderNeedsLayout({"blank", "BLANK "}));
    EXPECT_FALSE(RenderNeedsLayout({}));
    EXPECT_EQ(ResizedLeft(100, 40, 60, true), 80);
    EXPECT_EQ(ResizedLeft(100, 40, 60, false), 100);
    EXPECT_FALSE(AutoSizeAfter(true, TAutoSizeEvent::StoredSize));
    EXPECT_TRUE(AutoSizeAfter(false, TAutoSizeEvent::FontApplied));
    EXPECT_FALSE(AutoSizeAfter(false, TAutoSizeEvent::WidthConfirmed));
    EXPECT_FALSE(AutoSizeAfter(true, TAutoSizeEvent::HeightConfirmed));
}

} // namespace
} // namespace statlume
