#include "display/qt/display_menu.h"

#include <QActionGroup>
#include <QGuiApplication>

namespace statlume {
namespace {

// The submenu a row goes into, made by an earlier row; the menu itself for none.
QMenu* MenuOf(QMenu* menu, const TMenuRow& row)
{
    if (row.In == nullptr) {
        return menu;
    }
    auto* submenu = menu->findChild<QMenu*>(QString::fromUtf8(row.In));
    Q_ASSERT(submenu != nullptr);
    return submenu;
}

// The exclusive choices of a submenu, one group for all its radio items.
QActionGroup* ChoicesOf(QMenu* menu)
{
    auto* group = menu->findChild<QActionGroup*>(QString(), Qt::FindDirectChildrenOnly);
    if (group == nullptr) {
        group = new QActionGroup(menu);
        group->setExclusive(true);
    }
    return group;
}

QAction* AddItem(QMenu* menu, const TMenuRow& row)
{
    const QString caption = QString::fromUtf8(row.Caption);
    if (row.Opens != nullptr) {
        QMenu* submenu = menu->addMenu(caption);
        submenu->setObjectName(QString::fromUtf8(row.Opens));
        submenu->menuAction()->setObjectName(QString::fromUtf8(row.Name));
        return submenu->menuAction();
    }
    QAction* action = menu->addAction(caption);
    action->setObjectName(QString::fromUtf8(row.Name));
    action->setCheckable(row.Checkable);
    if (row.RadioTag >= 0) {
        action->setData(row.RadioTag);
        ChoicesOf(menu)->addAction(action);
    }
    action->setChecked(row.Checked);
    return action;
}

} // namespace

TDisplayMenu::TDisplayMenu(QWidget* parent, std::span<const TMenuRow> rows,
                           const std::function<void(const TMenuRow&)>& onChosen)
    : PopupMenu1(new QMenu(parent))
{
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    for (const TMenuRow& row : rows) {
        QAction* action = AddItem(MenuOf(PopupMenu1, row), row);
        if (row.Item != nullptr) {
            this->*row.Item = action;
        }
        if (row.Handler != nullptr) {
            QObject::connect(action, &QAction::triggered, action,
                             [&row, onChosen] { onChosen(row); });
        }
    }
}

void TDisplayMenu::PopupAt(QPoint global) const
{
    // On Wayland a popup hangs from a toolkit window that took input; the window on our own
    // layer surface is none, so there the menu comes up as a window of its own. A fixed size
    // makes tiling compositors float it rather than hand it the whole output.
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        PopupMenu1->setFixedSize(PopupMenu1->sizeHint());
    }
    PopupMenu1->popup(global);
}

} // namespace statlume
