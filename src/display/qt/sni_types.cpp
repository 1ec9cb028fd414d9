#include "display/qt/sni_types.h"

#include "display/qt/tray_icons.h"

#include <QDBusMetaType>
#include <QImage>
#include <QtEndian>

namespace statlume {

TSniToolTip SniToolTipOf(const QString& text, const QString& figure)
{
    const qsizetype end = text.indexOf(QLatin1Char('\n'));
    QString rest = end < 0 ? QString() : text.mid(end + 1);
    if (!figure.isEmpty()) {
        rest = rest.isEmpty() ? figure : figure + QLatin1Char('\n') + rest;
    }
    if (end < 0) {
        return TSniToolTip{QString(), {}, text, rest.toHtmlEscaped()};
    }
    // The body is markup to the host: the figures' block characters line up only in a
    // fixed-width font, which <pre> asks for.
    return TSniToolTip{QString(),
                       {},
                       text.left(end),
                       QStringLiteral("<pre>") + rest.toHtmlEscaped() + QStringLiteral("</pre>")};
}

TSniPixmaps SniPixmapsOf(const QIcon& icon)
{
    TSniPixmaps pixmaps;
    if (icon.isNull()) {
        return pixmaps;
    }
    for (const int side : TrayIconSizes) {
        const QImage image =
            icon.pixmap(side, side).toImage().convertToFormat(QImage::Format_ARGB32);
        if (image.isNull()) {
            continue;
        }
        TSniPixmap pixmap{image.width(), image.height(), {}};
        pixmap.Bytes.resize(static_cast<qsizetype>(image.width()) * image.height() * 4);
        auto* out = reinterpret_cast<uchar*>(pixmap.Bytes.data());
        for (int y = 0; y < image.height(); ++y) {
            const auto* line = reinterpret_cast<const quint32*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                // The wire wants A, R, G, B bytes in this order whatever the host's order.
                qToBigEndian(line[x], out);
                out += 4;
            }
        }
        pixmaps.append(pixmap);
    }
    return pixmaps;
}

void RegisterSniTypes()
{
    qDBusRegisterMetaType<TSniPixmap>();
    qDBusRegisterMetaType<TSniPixmaps>();
    qDBusRegisterMetaType<TSniToolTip>();
}

QDBusArgument& operator<<(QDBusArgument& out, const TSniPixmap& pixmap)
{
    out.beginStructure();
    out << pixmap.Width << pixmap.Height << pixmap.Bytes;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, TSniPixmap& pixmap)
{
    in.beginStructure();
    in >> pixmap.Width >> pixmap.Height >> pixmap.Bytes;
    in.endStructure();
    return in;
}

QDBusArgument& operator<<(QDBusArgument& out, const TSniToolTip& tip)
{
    out.beginStructure();
    out << tip.IconName << tip.Icon << tip.Title << tip.Text;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, TSniToolTip& tip)
{
    in.beginStructure();
    in >> tip.IconName >> tip.Icon >> tip.Title >> tip.Text;
    in.endStructure();
    return in;
}

} // namespace statlume
