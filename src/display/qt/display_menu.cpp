#include "display/qt/display_menu.h"

#include <QActionGroup>
#include <QGuiApplication>

namespace statlume {
namespace {

QAction* AddItem(QMenu* menu, const char* name, const char* caption, bool checkable = false)
{
    QAction* action = menu->addAction(QString::fromUtf8(caption));
    action->setObjectName(QString::fromUtf8(name));
    action->setCheckable(checkable);
    return action;
}

} // namespace

TDisplayMenu::TDisplayMenu(QWidget* parent)
    : PopupMenu1(new QMenu(parent))
{
    QMenu* m = PopupMenu1;
    m->setObjectName(QStringLiteral("PopupMenu1"));
    DisplayItems1 = AddItem(m, "DisplayItems1", "&Display Items");
    ExcludeProcessfromPercentage1 =
        AddItem(m, "ExcludeProcessfromPercentage1", "&Exclude Process from Percentage");
    DisplayProcessorUsageinIcon1 =
        AddItem(m, "DisplayProcessorUsageinIcon1", "Display Processor Usage in Icon", true);
    UpdateInterval1 = AddItem(m, "UpdateInterval1", "Update &Interval");
    AlwaysOnTop1 = AddItem(m, "AlwaysOnTop1", "Always &On Top", true);
    PinToDesktop = AddItem(m, "PinToDesktop", "&Pin To Desktop", true);
    ClickThrough1 = AddItem(m, "ClickThrough1", "&Click Through", true);
    ShowDraggingHandle1 = AddItem(m, "ShowDraggingHandle1", "Show Dragging Handle");
    Transparent1 = AddItem(m, "Transparent1", "&Transparent", true);
    DegreeofTransparency1 = AddItem(m, "DegreeofTransparency1", "Degree of &Alpha Transparency");
    Align1 = m->addMenu(QStringLiteral("Ali&gn"));
    Align1->setObjectName(QStringLiteral("Align1"));
    Align1->menuAction()->setObjectName(QStringLiteral("Align1Item"));
    Right1 = AddItem(Align1, "Right1", "Right", true);
    Right1->setData(1);
    Left1 = AddItem(Align1, "Left1", "Left", true);
    Left1->setData(0);
    auto* alignGroup = new QActionGroup(Align1);
    alignGroup->setExclusive(true);
    alignGroup->addAction(Right1);
    alignGroup->addAction(Left1);
    Left1->setChecked(true);
    Font1 = AddItem(m, "Font1", "&Font");
    AverageUptime1 = AddItem(m, "AverageUptime1", "Average &Uptime");
    LongestUptime1 = AddItem(m, "LongestUptime1", "&Longest Uptime");
    ActasServer1 = AddItem(m, "ActasServer1", "Act as &Server", true);
    About1 = AddItem(m, "About1", "A&bout");
    LockPosition1 = AddItem(m, "LockPosition1", "Loc&k Form", true);
    SetFormWidth1 = AddItem(m, "SetFormWidth1", "Set Form &Width and Height");
    WipeRegistrySettings1 =
        AddItem(m, "WipeRegistrySettings1", "Wipe &Registry Settings On Exit", true);
    HideIcon1 = AddItem(m, "HideIcon1", "&Hide Icon");
    StartatLogin1 = AddItem(m, "StartatLogin1", "Start at &Login", true);
    Exit1 = AddItem(m, "Exit1", "E&xit");
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
