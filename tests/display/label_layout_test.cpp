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
        {"the window covers every placed label, the lowest too",
         {Placed(0, 200, 10, 13), Placed(0, 60, 10, 13), Flowing(20, 13)},
         {0, 0, 10, 10},
         false,
         true,
         0,
         {200, 60, 32},
         {0, 0, 1},
         {0, 0, 26, 215}},
        {"a manual size keeps placed labels inside",
         {Placed(-514, 400, 40, 13), Placed(290, 3, 40, 13), Placed(5, 5, 400, 13)},
         {0, 0, 300, 100},
         false,
         false,
         1,
         {87, 3, 5},
         {0, 260, 0},
         {0, 0, 300, 100}},
        {"step comes from the first label even when placed",
         {Placed(0, 0, 10, 30), Flowing(20, 13)},
         {0, 0, 10, 10},
         false,
         true,
         0,
         {0, 34},
         {0, 1},
         {0, 0, 26, 66}},
        {"a tall label steps past its extra lines only",
         {Flowing(10, 13), {0, 0, 20, 39, false, 26}, Flowing(20, 13)},
         {0, 0, 10, 10},
         false,
         true,
         0,
         {2, 17, 58},
         {1, 1, 1},
         {0, 0, 26, 73}},
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

struct TStoredLayout
{
    /// Stored places by label index; nullopt flows.
    std::vector<std::optional<std::pair<int, int>>> Places;
    std::optional<int> Width{};
    std::optional<int> Height{};
    friend bool operator==(const TStoredLayout&, const TStoredLayout&) = default;
};

// A start and an exit as the window runs them: labels built "BLANK" at their stored places,
// laid out, their first captions, the layout pass, the stored size, the settling; then what
// the Exit command stores.
TStoredLayout StartAndExit(const TStoredLayout& stored, const std::vector<int>& widths,
                           std::uint8_t textAlign)
{
    constexpr int BlankWidth = 30;
    constexpr int Height = 13;
    std::vector<TLabelBox> labels;
    for (const auto& place : stored.Places) {
        labels.push_back(place ? Placed(place->first, place->second, BlankWidth, Height)
                               : Flowing(BlankWidth, Height));
    }
    TWindowBox window{100, 80, 2, 2};
    ArrangeLabelBoxes(labels, window, false, true);
    SettleLabelBoxes(labels, window, textAlign);
    for (std::size_t i = 0; i < labels.size(); ++i) {
        TLabelBox& label = labels[i];
        label.Left = ResizedLeft(label.Left, label.Width, widths[i],
                                 KeepsRightEdge(textAlign == 1, label.Placed, true));
        label.Width = widths[i];
    }
    ArrangeLabelBoxes(labels, window, false, true);
    bool autoSize = true;
    if (stored.Width) {
        window.Width = *stored.Width;
        autoSize = false;
    }
    if (stored.Height) {
        window.Height = *stored.Height;
        autoSize = false;
    }
    SettleLabelBoxes(labels, window, textAlign);
    TStoredLayout out;
    for (const TLabelBox& label : labels) {
        if (label.Placed) {
            EXPECT_GE(label.Left, 0);
            EXPECT_GE(label.Top, 0);
            EXPECT_LE(label.Left + label.Width, window.Width);
            EXPECT_LE(label.Top + label.Height, window.Height);
        }
        out.Places.push_back(label.Placed ? std::optional(std::pair(label.Left, label.Top))
                                          : std::nullopt);
    }
    if (!autoSize) {
        out.Width = window.Width;
        out.Height = window.Height;
    }
    return out;
}

TEST(LabelLayout, ExitThenStartIsTheIdentity)
{
    struct TCase
    {
        const char* name;
        TStoredLayout stored;
        std::uint8_t textAlign;
        /// The stored places hold from the first start; else they are mended once.
        bool keptAsStored;
    };
    const std::vector<int> widths = {150, 180, 60};
    const auto places = [](int left, int top) {
        return std::vector<std::optional<std::pair<int, int>>>{std::nullopt, std::pair(left, top),
                                                               std::nullopt};
    };
    const TCase cases[] = {
        {"left, automatic", {places(21, 40)}, 0, true},
        {"right, automatic", {places(21, 40)}, 1, true},
        {"left, manual", {places(21, 40), 300, 100}, 0, true},
        {"right, manual", {places(21, 40), 300, 100}, 1, true},
        {"right, manual, stored outside", {places(-514, 400), 300, 100}, 1, false},
        {"right, manual, the label reaching past the edge", {places(21, 40), 200, 100}, 1, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TStoredLayout layout = StartAndExit(c.stored, widths, c.textAlign);
        if (c.keptAsStored) {
            EXPECT_EQ(layout, c.stored);
        }
        for (int run = 2; run <= 5; ++run) {
            SCOPED_TRACE(run);
            const TStoredLayout next = StartAndExit(layout, widths, c.textAlign);
            EXPECT_EQ(next, layout);
            layout = next;
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
    EXPECT_TRUE(KeepsRightEdge(true, false, true));
    EXPECT_FALSE(KeepsRightEdge(true, true, true));
    EXPECT_TRUE(KeepsRightEdge(true, true, false));
    EXPECT_FALSE(AutoSizeAfter(true, TAutoSizeEvent::StoredSize));
    EXPECT_TRUE(AutoSizeAfter(false, TAutoSizeEvent::FontApplied));
    EXPECT_FALSE(AutoSizeAfter(false, TAutoSizeEvent::WidthConfirmed));
    EXPECT_FALSE(AutoSizeAfter(true, TAutoSizeEvent::HeightConfirmed));
}

} // namespace
} // namespace statlume
