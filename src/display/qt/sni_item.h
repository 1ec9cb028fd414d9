#pragma once

#include "display/qt/sni_types.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QIcon>
#include <QObject>
#include <QPoint>
#include <QString>

class QDBusServiceWatcher;

namespace statlume {

/// Our own StatusNotifierItem on the session bus. It registers with
/// org.kde.StatusNotifierWatcher whenever one appears, also long after the start (a panel
/// that starts late or restarts), which the toolkit's tray icon does not.
class TSniItem : public QObject
{
    Q_OBJECT
public:
    /// The item on the session bus; null when there is no session bus.
    static TSniItem* Create(QObject* parent);

    /// Whether the icon should be shown: registers now if a watcher exists, or drops the
    /// item's bus name so that the watcher forgets it.
    void SetWanted(bool wanted);
    /// The icon and whether it asks for attention.
    void SetIcon(const QIcon& icon, bool attention);
    /// The tooltip: plain text whose first line is its title, and the figure drawn in the
    /// icon (empty when there is none). Hosts are told only of a changed tooltip.
    void SetToolTip(const QString& text, const QString& figure);
    /// The icon hosts show while the item asks for attention.
    void SetAttentionIcon(const QIcon& icon);
    /// A watcher accepted the item and has not gone since.
    bool Registered() const { return IsRegistered; }
    /// The item's bus name.
    const QString& Service() const { return ServiceName; }

    // The item's properties as the adaptor serves them.
    QString Status() const;
    const TSniPixmaps& IconPixmap() const { return Pixmaps; }
    const TSniPixmaps& AttentionPixmap() const { return AttentionPixmaps; }
    const TSniToolTip& ToolTip() const { return Tip; }

signals:
    /// The host's primary activation (a left click).
    void Activated();
    /// The host asks for the context menu (a right click) at a place on the screen.
    void ContextRequested(QPoint global);
    /// Registered() changed.
    void RegisteredChanged(bool registered);

private:
    TSniItem(QDBusConnection bus, QObject* parent);
    void Register();
    void SetRegistered(bool registered);

    QDBusConnection Bus;
    QString ServiceName;
    QDBusServiceWatcher* Watcher = nullptr;
    class TSniAdaptor* Adaptor = nullptr;
    bool Wanted = false;
    bool OwnsName = false;
    bool IsRegistered = false;
    bool Attention = false;
    TSniPixmaps Pixmaps;
    TSniPixmaps AttentionPixmaps;
    TSniToolTip Tip{QString(), {}, QStringLiteral("Statlume"), QString()};
};

/// The org.kde.StatusNotifierItem interface of a TSniItem.
class TSniAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ Category)
    Q_PROPERTY(QString Id READ Id)
    Q_PROPERTY(QString Title READ Title)
    Q_PROPERTY(QString Status READ Status)
    Q_PROPERTY(int WindowId READ WindowId)
    Q_PROPERTY(QString IconName READ NoName)
    Q_PROPERTY(statlume::TSniPixmaps IconPixmap READ IconPixmap)
    Q_PROPERTY(QString OverlayIconName READ NoName)
    Q_PROPERTY(statlume::TSniPixmaps OverlayIconPixmap READ NoPixmaps)
    Q_PROPERTY(QString AttentionIconName READ NoName)
    Q_PROPERTY(statlume::TSniPixmaps AttentionIconPixmap READ AttentionIconPixmap)
    Q_PROPERTY(QString AttentionMovieName READ NoName)
    Q_PROPERTY(statlume::TSniToolTip ToolTip READ ToolTip)
    Q_PROPERTY(bool ItemIsMenu READ ItemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ Menu)
public:
    explicit TSniAdaptor(TSniItem* item);

    QString Category() const { return QStringLiteral("SystemServices"); }
    QString Id() const { return QStringLiteral("statlume"); }
    QString Title() const { return QStringLiteral("Statlume"); }
    QString Status() const { return Item->Status(); }
    int WindowId() const { return 0; }
    QString NoName() const { return {}; }
    TSniPixmaps IconPixmap() const { return Item->IconPixmap(); }
    TSniPixmaps NoPixmaps() const { return {}; }
    TSniPixmaps AttentionIconPixmap() const { return Item->AttentionPixmap(); }
    TSniToolTip ToolTip() const { return Item->ToolTip(); }
    bool ItemIsMenu() const { return false; }
    QDBusObjectPath Menu() const { return QDBusObjectPath(QStringLiteral("/NO_DBUSMENU")); }

public slots:
    void ContextMenu(int x, int y);
    void Activate(int x, int y);
    void SecondaryActivate(int x, int y);
    void Scroll(int delta, const QString& orientation);

signals:
    void NewTitle();
    void NewIcon();
    void NewAttentionIcon();
    void NewOverlayIcon();
    void NewToolTip();
    void NewStatus(const QString& status);

private:
    TSniItem* Item;
};

} // namespace statlume
