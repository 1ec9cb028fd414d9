#include <map>
#include <vector>

#include "display/qt/display_menu.h"

#include <QWidget>

#include "display_rig.h"

namespace statlume::testing {
namespace {

// The object name of the menu a row's item is in.
QString HoldingMenuName(const TMenuRow& row)
{
    return row.In != nullptr ? QString::fromUtf8(row.In) : QStringLiteral("PopupMenu1");
}

TEST_F(DisplayRig, MenuShowsTheTableRowsInOrder)
{
    Start();
    std::map<QString, qsizetype> itemsSeen;
    for (const TMenuRow& row : TStatlumeDisplay::MenuRows()) {
        SCOPED_TRACE(row.Name);
        const QString menuName = HoldingMenuName(row);
        const auto* menu = Window->findChild<QMenu*>(menuName);
        ASSERT_NE(menu, nullptr);
        const qsizetype at = itemsSeen[menuName]++;
        ASSERT_LT(at, menu->actions().size());
        const QAction* item = menu->actions()[at];
        EXPECT_EQ(item->objectName().toStdString(), row.Name);
        EXPECT_EQ(item->text().toStdString(), row.Caption);
        EXPECT_EQ(item->isCheckable(), row.Checkable);
        const auto* opened = item->menu<QMenu*>();
        EXPECT_EQ(opened != nullptr ? opened->objectName().toStdString() : "",
                  row.Opens != nullptr ? row.Opens : "");
    }
    for (const auto& [menuName, count] : itemsSeen) {
        SCOPED_TRACE(menuName.toStdString());
        EXPECT_EQ(Window->findChild<QMenu*>(menuName)->actions().size(), count);
    }
}

TEST(DisplayMenu, ChoosingAnItemReachesItsRowsHandler)
{
    QWidget owner;
    std::vector<const TMenuRow*> chosen;
    const TDisplayMenu menu(&owner, TStatlumeDisplay::MenuRows(),
                            [&chosen](const TMenuRow& row) { chosen.push_back(&row); });
    const auto itemOf = [&owner](const TMenuRow& row) {
        return owner.findChild<QAction*>(QString::fromUtf8(row.Name));
    };
    // As built, before any choice moves a check mark.
    for (const TMenuRow& row : TStatlumeDisplay::MenuRows()) {
        SCOPED_TRACE(row.Name);
        ASSERT_NE(itemOf(row), nullptr);
        EXPECT_EQ(itemOf(row)->isChecked(), row.Checked);
        if (row.Item != nullptr) {
            EXPECT_EQ(menu.*row.Item, itemOf(row));
        }
    }
    for (const TMenuRow& row : TStatlumeDisplay::MenuRows()) {
        SCOPED_TRACE(row.Name);
        QAction* item = itemOf(row);
        chosen.clear();
        item->trigger();
        if (row.Handler != nullptr) {
            EXPECT_EQ(chosen, std::vector<const TMenuRow*>{&row});
        } else {
            EXPECT_TRUE(chosen.empty());
        }
    }
}

} // namespace
} // namespace statlume::testing
