#include "display/qt/display_tray.h"
#include "options/qt_test_app.h"

#include <QFont>
#include <QIcon>
#include <QPixmap>

#include <gtest/gtest.h>

namespace statlume {
namespace {

// Every accept and connection error of a server asks for the mode it already has; the fixed
// icons are drawn once, and only a new figure is drawn again.
TEST(DisplayTray, DrawsOnlyWhatChanged)
{
    int drawn = 0;
    const auto art = [&drawn] {
        ++drawn;
        QPixmap pixmap(16, 16);
        pixmap.fill(Qt::blue);
        return QIcon(pixmap);
    };
    TDisplayTray tray(TTrayArt{art, art,
                               [&drawn](const QString&, const QFont&) {
                                   ++drawn;
                                   return QIcon();
                               }},
                      nullptr);
    EXPECT_EQ(drawn, 2);
    for (int i = 0; i < 100; ++i) {
        tray.SetTrayIcon(i % 2, QString(), QFont());
    }
    EXPECT_EQ(drawn, 2);
    tray.SetTrayIcon(2, QStringLiteral("05"), QFont());
    tray.SetTrayIcon(2, QStringLiteral("05"), QFont());
    tray.SetTrayIcon(2, QStringLiteral("07"), QFont());
    EXPECT_EQ(drawn, 4);
    EXPECT_EQ(tray.IconMode(), 2);
}

} // namespace
} // namespace statlume
