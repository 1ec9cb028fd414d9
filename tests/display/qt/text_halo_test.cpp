#include <optional>
#include <string>

#include "display/qt/fmt_label.h"
#include "display/qt/text_halo.h"
#include "options/qt_test_app.h"

#include <QImage>
#include <QPainter>
#include <QWidget>

#include <gtest/gtest.h>

namespace statlume {
namespace {

QImage Rendered(const TFmtLabel& label, const QColor& background)
{
    QImage image(label.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(background);
    QPainter painter(&image);
    label.PaintContent(painter, image.rect());
    return image;
}

/// The box of the pixels for which wanted holds; empty when none does.
template <typename F> QRect PixelBox(const QImage& image, F wanted)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (wanted(qGray(image.pixel(x, y))))
                box |= QRect(x, y, 1, 1);
    return box;
}

TEST(TextHalo, WhiteTextOnWhiteGetsADarkHaloItsLabelMakesRoomFor)
{
    TRun text;
    text.Text = "CPU ";
    TRun bar;
    bar.Kind = TRunKind::Bar;
    bar.Text = "50";
    bar.Cells = 4;
    bar.Fraction = 0.5;
    const TRunLine runs{{text, bar}};
    struct TCase
    {
        const char* name;
        TTextOutline outline;
        std::optional<TRunLine> runs;
        /// Dark pixels wanted beside the drawing on the left and on the right.
        bool left;
        bool right;
    };
    const TCase cases[] = {
        {"caption without", TTextOutline::None, std::nullopt, false, false},
        {"caption outlined", TTextOutline::Outline, std::nullopt, true, true},
        {"caption shadowed", TTextOutline::Shadow, std::nullopt, false, true},
        {"runs outlined", TTextOutline::Outline, runs, true, true},
        {"runs shadowed", TTextOutline::Shadow, runs, false, true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        QWidget window;
        TFmtLabel label(QStringLiteral("l"), "", &window);
        QPalette colours = label.palette();
        colours.setColor(QPalette::WindowText, Qt::white);
        label.setPalette(colours);
        if (c.runs)
            label.SetRuns(*c.runs);
        else
            label.SetCaption("Wg 42%");
        // Where the drawing lies, seen on black.
        const QRect drawing = PixelBox(Rendered(label, Qt::black), [](int g) { return g > 128; });
        ASSERT_FALSE(drawing.isEmpty());
        const QSize plain = label.size();
        const std::uint64_t revision = label.Revision();

        label.SetOutline(c.outline, HaloColour(Qt::white));
        const QMargins room = HaloMargins(c.outline, 1);
        EXPECT_EQ(label.size(), plain.grownBy(room)) << "nothing is cut";
        EXPECT_EQ(label.Revision() != revision, c.outline != TTextOutline::None);
        const QImage shown = Rendered(label, Qt::white);
        const QRect dark = PixelBox(shown, [](int g) { return g < 128; });
        const QRect moved = drawing.translated(room.left(), room.top());
        EXPECT_EQ(!dark.isEmpty() && dark.left() < moved.left(), c.left);
        EXPECT_EQ(!dark.isEmpty() && dark.right() > moved.right(), c.right);
        EXPECT_TRUE(dark.isEmpty() || QRect(QPoint(), label.size()).contains(dark));

        const std::uint64_t shownRevision = label.Revision();
        label.SetOutline(c.outline, HaloColour(Qt::white));
        EXPECT_EQ(label.Revision(), shownRevision) << "the same outline repaints nothing";
    }
}

TEST(TextHalo, HaloContrastsWithTheText)
{
    struct TCase
    {
        const char* name;
        QColor text;
        QColor halo;
    };
    const TCase cases[] = {
        {"white", Qt::white, Qt::black},
        {"black", Qt::black, Qt::white},
        {"amber", QColor(0xFF, 0xBF, 0x00), Qt::black},
        {"navy", QColor(0x00, 0x00, 0x80), Qt::white},
        {"mid grey", QColor(0x80, 0x80, 0x80), Qt::black},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(HaloColour(c.text), c.halo);
    }
}

} // namespace
} // namespace statlume
