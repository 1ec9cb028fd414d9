#pragma once

#include <QAction>
#include <QMenu>

namespace statlume {

/// The popup menu `PopupMenu1` and its items, in display order; each object is named after
/// its item ("DisplayItems1", "Right1", ...).
struct TDisplayMenu
{
    /// Builds the menu, owned by parent; check marks at their design state (Left checked).
    explicit TDisplayMenu(QWidget* parent);
    /// Opens PopupMenu1 at global (in screen pixels; ignored where the compositor places it).
    void PopupAt(QPoint global) const;

    /// The menu; the items below follow in display order.
    QMenu* PopupMenu1;
    /// An item of the menu, its object named as the member.
    QAction* DisplayItems1;
    QAction* ExcludeProcessfromPercentage1;
    QAction* DisplayProcessorUsageinIcon1;
    QAction* UpdateInterval1;
    QAction* AlwaysOnTop1;
    QAction* PinToDesktop;
    QAction* ClickThrough1;
    QAction* ShowDraggingHandle1;
    QAction* Transparent1;
    QAction* DegreeofTransparency1;
    QMenu* Align1;
    QAction* Right1;
    QAction* Left1;
    QAction* Font1;
    QAction* AverageUptime1;
    QAction* LongestUptime1;
    QAction* ActasServer1;
    QAction* About1;
    QAction* LockPosition1;
    QAction* SetFormWidth1;
    QAction* WipeRegistrySettings1;
    QAction* HideIcon1;
    QAction* StartatLogin1;
    QAction* Exit1;
};

} // namespace statlume
