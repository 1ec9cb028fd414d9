#include <memory>

#include "display/qt/tray_icons.h"
#include "options/qt_test_app.h"

#include <QApplication>
#include <QImage>
#include <QPixmap>

#include <gtest/gtest.h>

namespace statlume {
namespace {

/// Pixels of one drawn size, by kind.
struct TPixelCount
{
    int Transparent = 0;
    int Blue = 0;
    int Red = 0;
    int Grey = 0;
    int Dark = 0;
    int White = 0;
    /// Rows from the first to the last that hold a dark pixel.
    int DarkRows = 0;
};

TPixelCount CountPixels(const QIcon& icon, int size)
{
    const QImage image =
        icon.pixmap(QSize(size, size)).toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(image.size(), QSize(size, size));
    TPixelCount count;
    int firstDark = -1;
    int lastDark = -1;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            const int r = c.red(), g = c.green(), b = c.blue();
            if (c.alpha() < 128) {
                ++count.Transparent;
            } else if (b > r + 80 && b > g + 40) {
                ++count.Blue;
            } else if (r > g + 80 && r > b + 80) {
                ++count.Red;
            } else if (r + g + b < 150) {
                ++count.Dark;
                firstDark = firstDark < 0 ? y : firstDark;
                lastDark = y;
            } else if (r > 240 && g > 240 && b > 240) {
                ++count.White;
            } else if (std::abs(r - g) < 20 && std::abs(g - b) < 20) {
                ++count.Grey;
            }
        }
    }
    count.DarkRows = firstDark < 0 ? 0 : lastDark - firstDark + 1;
    return count;
}

TEST(TrayIcons, EverySizeIsDrawnNotScaled)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSize(8);
    const QIcon icons[] = {ApplicationIcon(), AlertIcon(),
                           ProcessorFigureIcon(QStringLiteral("05"), font)};
    for (const QIcon& icon : icons) {
        const QList<QSize> sizes = icon.availableSizes();
        for (const int size : TrayIconSizes)
            EXPECT_TRUE(sizes.contains(QSize(size, size))) << size;
    }
}

TEST(TrayIcons, MarksAreBlueOrRedOnTransparent)
{
    for (const int size : TrayIconSizes) {
        SCOPED_TRACE(size);
        const int area = size * size;
        const TPixelCount app = CountPixels(ApplicationIcon(), size);
        EXPECT_GT(app.Transparent, area / 2);
        EXPECT_GT(app.Blue, area / 10);
        EXPECT_EQ(app.Red, 0);
        const TPixelCount alert = CountPixels(AlertIcon(), size);
        EXPECT_GT(alert.Transparent, area / 2);
        EXPECT_GT(alert.Red, area / 10);
        EXPECT_GT(alert.Grey, 0);
        EXPECT_EQ(alert.Blue, 0);
    }
}

TEST(TrayIcons, FigureIsBlackTextOnOpaqueWhiteScaledWithTheIcon)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSize(8);
    const QIcon icon = ProcessorFigureIcon(QStringLiteral("100"), font);
    const TPixelCount small = CountPixels(icon, 16);
    for (const int size : TrayIconSizes) {
        SCOPED_TRACE(size);
        const TPixelCount count = CountPixels(icon, size);
        EXPECT_EQ(count.Transparent, 0);
        EXPECT_GT(count.White, size * size / 2);
        EXPECT_GT(count.Dark, 0);
        // The digits grow with the icon rather than staying 16-pixel text.
        EXPECT_NEAR(count.DarkRows, small.DarkRows * size / 16.0, size / 8.0 + 1);
    }
    // The text starts at (1, 1): the top row and the left column stay white.
    const QImage small16 = icon.pixmap(QSize(16, 16)).toImage();
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(QColor(small16.pixel(i, 0)), QColor(Qt::white)) << i;
        EXPECT_EQ(QColor(small16.pixel(0, i)), QColor(Qt::white)) << i;
    }
}

// Dark runs along the row halfway down the digits: one per stroke the row crosses.
int StrokesAcrossMiddle(const QIcon& icon, int size)
{
    const QImage image = icon.pixmap(QSize(size, size)).toImage();
    int first = -1, last = -1;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            if (qGray(image.pixel(x, y)) < 128) {
                first = first < 0 ? y : first;
                last = y;
            }
    int runs = 0;
    bool inRun = false;
    for (int x = 0; x < size; ++x) {
        const bool dark = qGray(image.pixel(x, (first + last) / 2)) < 128;
        runs += dark && !inRun;
        inRun = dark;
    }
    return runs;
}

TEST(TrayIcons, FigureOfThreeDigitsIsNotCutOff)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSize(8);
    const QIcon icon = ProcessorFigureIcon(QStringLiteral("100"), font);
    for (const int size : TrayIconSizes) {
        SCOPED_TRACE(size);
        // "1" crosses once, each "0" twice; cut at the edge it would read "10". At 16 pixels
        // the two zeros touch, so only the edge is checked there.
        if (size > 16) {
            EXPECT_GE(StrokesAcrossMiddle(icon, size), 5);
        }
        const QImage image = icon.pixmap(QSize(size, size)).toImage();
        for (int y = 0; y < size; ++y)
            EXPECT_GE(qGray(image.pixel(size - 1, y)), 128) << y;
    }
}

} // namespace
} // namespace statlume
