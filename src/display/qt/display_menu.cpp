#include "display/qt/display_menu.h"

#include <QActionGroup>
#include <QGuiApplication>
#include <QProxyStyle>
#include <QScreen>

namespace statlume {
namespace {

// A menu taller than the screen scrolls instead of being cut.
class TScrollingMenuStyle : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returned) const override
    {
        if (hint == QStyle::SH_Menu_Scrollable)
            return 1;
        return QProxyStyle::styleHint(hint, option, widget, returned);
    }
};

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
    // Cut to the screen's height, it scrolls, so every item stays reachable (at scale 2 on a
    // small output the whole menu is taller than the screen).
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        QSize size = PopupMenu1->sizeHint();
        const QScreen* screen = QGuiApplication::screenAt(global);
        if (screen == nullptr) {
            screen = PopupMenu1->screen();
        }
        const int room = screen != nullptr ? screen->availableGeometry().height() : size.height();
        if (size.height() > room) {
            if (dynamic_cast<TScrollingMenuStyle*>(PopupMenu1->style()) == nullptr) {
                auto* style = new TScrollingMenuStyle;
                style->setParent(PopupMenu1);
                PopupMenu1->setStyle(style);
            }
            size.setHeight(room);
        }
        PopupMenu1->setFixedSize(size);
    }
    PopupMenu1->popup(global);
}

} // namespace statlume
