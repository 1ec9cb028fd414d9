#pragma once

#include <QByteArray>
#include <QDBusArgument>
#include <QIcon>
#include <QList>
#include <QMetaType>
#include <QString>

namespace statlume {

/// One picture of a StatusNotifierItem icon: ARGB32 pixels in network byte order.
struct TSniPixmap
{
    int Width = 0;
    int Height = 0;
    QByteArray Bytes;
};

/// The pictures of one icon, one per size.
using TSniPixmaps = QList<TSniPixmap>;

/// The item's tooltip: icon name, pictures, title and text.
struct TSniToolTip
{
    QString IconName;
    TSniPixmaps Icon;
    QString Title;
    QString Text;
};

/// The tooltip for plain text: its first line as the title; the figure drawn in the icon
/// (if any) and the other lines as the text, escaped, since hosts read that as markup, and
/// set in <pre> when there are other lines, so their drawings keep their columns.
TSniToolTip SniToolTipOf(const QString& text, const QString& figure);

/// The icon's pictures at the tray sizes, for the item's IconPixmap property.
TSniPixmaps SniPixmapsOf(const QIcon& icon);

/// Makes the two types known to Qt's D-Bus marshalling; call once before use.
void RegisterSniTypes();

QDBusArgument& operator<<(QDBusArgument& out, const TSniPixmap& pixmap);
const QDBusArgument& operator>>(const QDBusArgument& in, TSniPixmap& pixmap);
QDBusArgument& operator<<(QDBusArgument& out, const TSniToolTip& tip);
const QDBusArgument& operator>>(const QDBusArgument& in, TSniToolTip& tip);

} // namespace statlume

Q_DECLARE_METATYPE(statlume::TSniPixmap)
Q_DECLARE_METATYPE(statlume::TSniToolTip)
