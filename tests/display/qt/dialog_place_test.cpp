#include <optional>

#include "display/qt/dialog_place.h"
#include "options/qt_test_app.h"
#include "platform/fake/memory_registry.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <gtest/gtest.h>

namespace statlume {
namespace {

TEST(DialogPlace, OpensBesideTheWindowOrWhereItWasLeft)
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    struct TCase
    {
        const char* name;
        QRect window;
        std::optional<QRect> stored;
        QRect expected;
    };
    const TCase cases[] = {
        {"right of the window", {100, 100, 200, 150}, std::nullopt, {308, 100, 300, 200}},
        {"left of a window at the right edge",
         {area.right() - 200, 100, 200, 150},
         std::nullopt,
         {area.right() - 200 - 8 - 308, 100, 300, 200}},
        {"where it was left", {100, 100, 200, 150}, QRect(20, 30, 400, 250), {20, 30, 400, 250}},
        {"left on a screen that is gone",
         {100, 100, 200, 150},
         QRect(5000, 30, 400, 250),
         {area.right() + 1 - 408, 30, 400, 250}},
        {"not below its smallest size",
         {100, 100, 200, 150},
         QRect(20, 30, 10, 10),
         {20, 30, 250, 150}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        QWidget window(nullptr, Qt::FramelessWindowHint);
        window.setGeometry(c.window);
        QWidget dialog(&window, Qt::Dialog);
        dialog.setMinimumSize(250, 150);
        dialog.resize(300, 200);
        RestoreDialogPlace(dialog, window, c.stored);
        EXPECT_EQ(QRect(dialog.pos(), dialog.size()), c.expected);
    }
}

TEST(DialogPlace, StoresAndReadsBackItsPlace)
{
    platform::TMemoryRegistry registry;
    ASSERT_TRUE(registry.OpenKey("Software\\Test", true));
    EXPECT_EQ(ReadDialogPlace(registry, "Options"), std::nullopt);
    EXPECT_TRUE(WriteDialogPlace(registry, "Options", QRect(-5, 7, 640, 480)));
    EXPECT_EQ(ReadDialogPlace(registry, "Options"), QRect(-5, 7, 640, 480));
    EXPECT_TRUE(WriteDialogPlace(registry, "Options", QRect(0, 0, 800, 600), false));
    EXPECT_EQ(ReadDialogPlace(registry, "Options"), QRect(-5, 7, 800, 600))
        << "a place the compositor chose keeps the stored one";
    registry.WriteInteger("OptionsWidth", 0);
    EXPECT_EQ(ReadDialogPlace(registry, "Options"), std::nullopt) << "no size is no place";
    registry.FailWrites = true;
    EXPECT_FALSE(WriteDialogPlace(registry, "Options", QRect(1, 2, 3, 4)));
}

} // namespace
} // namespace statlume
