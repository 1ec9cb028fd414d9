#pragma once

#include <functional>
#include <span>

#include <QAction>
#include <QMenu>

namespace statlume {

class TStatlumeDisplay;
struct TDisplayMenu;

/// A menu command of the window.
using TMenuHandler = void (TStatlumeDisplay::*)();

/// How a menu row's handler runs.
enum class TMenuRun
{
    /// Through RunCommand: timer off, errors in a box.
    Guarded,
    /// As it is (the handler guards itself, or ends the run).
    Direct,
};

/// One row of the window's menu, in display order: an item, or the item that opens a submenu.
struct TMenuRow
{
    /// The item's object name.
    const char* Name;
    /// The caption; "&" marks the access key.
    const char* Caption;
    /// The item toggles its check mark when chosen.
    bool Checkable = false;
    /// What the item runs when chosen; null: nothing (its check mark is read elsewhere).
    TMenuHandler Handler = nullptr;
    TMenuRun Run = TMenuRun::Guarded;
    /// Where TDisplayMenu keeps the item for the window to read; null: not kept.
    QAction* TDisplayMenu::*Item = nullptr;
    /// The object name of the submenu this row's item opens; null for a command.
    const char* Opens = nullptr;
    /// The object name of the submenu the row is in; null for PopupMenu1 itself.
    const char* In = nullptr;
    /// The item's Tag among the exclusive choices of its submenu; -1 for no choice.
    int RadioTag = -1;
    /// Checked when the menu is built.
    bool Checked = false;
};

/// The popup menu `PopupMenu1` built from a table of rows; each item's object is named after
/// it ("DisplayItems1", "Right1", ...).
struct TDisplayMenu
{
    /// Builds the menu from rows, owned by parent; choosing an item with a handler calls
    /// onChosen with its row. rows must outlive the menu.
    TDisplayMenu(QWidget* parent, std::span<const TMenuRow> rows,
                 const std::function<void(const TMenuRow&)>& onChosen);
    /// Opens PopupMenu1 at global (in screen pixels; ignored where the compositor places it).
    void PopupAt(QPoint global) const;

    /// The menu.
    QMenu* PopupMenu1;
    /// The items whose check marks the window reads, each as its row's Item says.
    QAction* DisplayProcessorUsageinIcon1 = nullptr;
    QAction* AlwaysOnTop1 = nullptr;
    QAction* PinToDesktop = nullptr;
    QAction* ClickThrough1 = nullptr;
    QAction* Transparent1 = nullptr;
    QAction* Right1 = nullptr;
    QAction* Left1 = nullptr;
    QAction* ActasServer1 = nullptr;
    QAction* LockPosition1 = nullptr;
    QAction* WipeRegistrySettings1 = nullptr;
    QAction* StartatLogin1 = nullptr;
};

} // namespace statlume
