#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "display/qt/fmt_label.h"
#include "display/qt/shape_mask.h"
#include "options/qt_test_app.h"

#include <QWidget>

#include <gtest/gtest.h>

namespace statlume {
namespace {

/// Applies what it is sent to one region and counts the requests.
class TRecordingSink final : public TShapeSink
{
public:
    void Set(const std::vector<QRegion>& parts) override
    {
        Shape = {};
        for (const QRegion& part : parts) {
            Shape += part;
        }
        ++Requests;
    }
    void Subtract(const QRect& box) override
    {
        Shape -= box;
        ++Requests;
    }
    void Add(const QRegion& region) override
    {
        Shape += region;
        ++Requests;
    }
    void Clear() override
    {
        Shape = {};
        ++Requests;
    }
    qreal Ratio() const override { return Scale; }

    qreal Scale = 1.0;
    QRegion Shape;
    int Requests = 0;
};

TEST(ShapeMask, SendsOnlyWhatChangedAndMatchesAWholeRebuild)
{
    QWidget window;
    window.resize(300, 400);
    std::vector<TFmtLabel*> labels;
    for (int i = 0; i < 20; ++i) {
        auto* label = new TFmtLabel(QString::number(i), "", &window);
        label->SetCaption("line " + std::to_string(i));
        label->move(1, 2 + 16 * i);
        labels.push_back(label);
    }
    TShapeMask mask;
    TRecordingSink sink;
    EXPECT_EQ(mask.Update(labels, sink), 20);
    EXPECT_FALSE(sink.Shape.isEmpty());
    EXPECT_EQ(mask.Update(labels, sink), 0) << "nothing changed, nothing drawn";
    EXPECT_EQ(sink.Requests, 1);

    struct TStep
    {
        const char* name;
        std::function<void()> change;
        int drawn;
    };
    const TStep steps[] = {
        {"one caption", [&] { labels[3]->SetCaption("a longer caption now"); }, 1},
        {"same caption again", [&] { labels[3]->SetCaption("a longer caption now"); }, 0},
        {"moved over its neighbour", [&] { labels[5]->move(1, 2 + 16 * 4 + 5); }, 1},
        {"moved back", [&] { labels[5]->move(1, 2 + 16 * 5); }, 1},
        {"right-justified", [&] { labels[7]->SetTextAlign(1); }, 1},
        {"two captions",
         [&] {
             labels[0]->SetCaption("x");
             labels[19]->SetCaption("");
         },
         2},
    };
    for (const TStep& step : steps) {
        SCOPED_TRACE(step.name);
        step.change();
        EXPECT_EQ(mask.Update(labels, sink), step.drawn);
        TShapeMask fresh;
        TRecordingSink whole;
        fresh.Update(labels, whole);
        // The same pixels; the rectangles may be cut differently.
        EXPECT_TRUE(sink.Shape.xored(whole.Shape).isEmpty());
    }

    mask.Clear(sink);
    EXPECT_TRUE(sink.Shape.isEmpty());
    labels.pop_back();
    EXPECT_EQ(mask.Update(labels, sink), 19) << "after a clear or a rebuild all is sent";
}

// One label of glyphs with holes and descenders, its whole shape already sent.
class ShapeMaskOfOneLabel : public ::testing::Test
{
protected:
    ShapeMaskOfOneLabel()
    {
        label->SetCaption("Wg 42%");
        label->move(5, 5);
        mask.Update(labels, sink);
    }

    QWidget window;
    TFmtLabel* label = new TFmtLabel(QStringLiteral("l"), "", &window);
    const std::vector<TFmtLabel*> labels{label};
    TShapeMask mask;
    TRecordingSink sink;
};

TEST_F(ShapeMaskOfOneLabel, OutlinePixelsAreInTheShape)
{
    const QRegion plain = sink.Shape;

    label->SetOutline(TTextOutline::Outline, Qt::white);
    EXPECT_EQ(mask.Update(labels, sink), 1);
    // The text moved one pixel in to make room; a ring of one pixel now surrounds it.
    const QRegion moved = plain.translated(1, 1);
    EXPECT_TRUE(moved.subtracted(sink.Shape).isEmpty());
    for (const QPoint step : {QPoint(-1, 0), QPoint(1, 0), QPoint(0, -1), QPoint(0, 1)})
        EXPECT_TRUE(moved.translated(step).subtracted(sink.Shape).isEmpty());
    EXPECT_FALSE(sink.Shape.subtracted(moved).isEmpty());
    label->SetOutline(TTextOutline::Outline, Qt::white);
    EXPECT_EQ(mask.Update(labels, sink), 0) << "the same outline is not drawn again";
}

TEST_F(ShapeMaskOfOneLabel, AtTwiceThePixelsTheShapeIsInDevicePixels)
{
    const QRect single = sink.Shape.boundingRect();

    sink.Scale = 2;
    EXPECT_EQ(mask.Update(labels, sink), 1) << "a new ratio sends the whole shape";
    const QRect twice = sink.Shape.boundingRect();
    // Hinting puts glyph edges on other pixels at another size: close, not exact.
    EXPECT_LE(std::abs(twice.left() - 2 * single.left()), 2);
    EXPECT_LE(std::abs(twice.top() - 2 * single.top()), 2);
    EXPECT_NEAR(double(twice.width()) / single.width(), 2.0, 0.3);
    EXPECT_NEAR(double(twice.height()) / single.height(), 2.0, 0.3);

    for (const QPoint place : {QPoint(40, 30), QPoint(5, 5)}) {
        label->move(place);
        EXPECT_EQ(mask.Update(labels, sink), 1);
        TShapeMask fresh;
        TRecordingSink whole;
        whole.Scale = 2;
        fresh.Update(labels, whole);
        EXPECT_TRUE(sink.Shape.xored(whole.Shape).isEmpty()) << "the old place is cleared too";
    }
}

} // namespace
} // namespace statlume
