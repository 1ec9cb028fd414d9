#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

#include <QFont>
#include <QHash>
#include <QIcon>
#include <QObject>
#include <QPoint>
#include <QString>

class QSystemTrayIcon;

namespace statlume {
class TSniItem;
}

namespace statlume {

/// Draws the tray's icons: the application icon, the alert icon and the processor figure.
struct TTrayArt
{
    std::function<QIcon()> ApplicationIcon;
    std::function<QIcon()> AlertIcon;
    std::function<QIcon(const QString& figureText, const QFont& displayFont)> FigureIcon;
};

/// The notification-area icon: tooltip "Statlume" until set otherwise, mode 0 application icon, 1
/// alert icon, 2 processor figure. The mode is kept while the icon is absent and shown when it
/// returns.
class TDisplayTray : public QObject
{
    Q_OBJECT
public:
    /// An absent icon in mode 0, child of parent, named "TrayIcon".
    TDisplayTray(TTrayArt art, QObject* parent);

    /// `SetTrayIcon`: mode 0 or 1 take their icon; mode 2 draws figureText in font; any
    /// other mode changes nothing after the mode itself.
    void SetTrayIcon(std::uint8_t mode, const QString& figureText = {}, const QFont& font = {});
    /// Adds the icon to the notification area.
    void Add();
    /// Removes the icon from the notification area.
    void Remove();
    /// A second start's request: remove and add again.
    void Restore();
    /// The tooltip's status (plain text, its first line names the program).
    void SetToolTip(const QString& text);
    /// Figures shown under the status (the first lines of the template, text only); empty
    /// shows the status alone.
    void SetFigures(const QString& figures);
    /// The status as last set, without the figures.
    const QString& StatusToolTip() const { return StatusText; }

    /// `IconMode`.
    std::uint8_t IconMode() const { return Mode; }
    /// The icon is added and a notification area exists to show it. A notification area
    /// without a bus (XEmbed) that comes later is seen within TrayAskInterval.
    bool Shown() const;
    /// From now on a notification area counts as there though the toolkit sees none: a
    /// test's stand-in for one.
    void AssumeTrayAvailable() { TrayAssumed = true; }
    /// The text of the last figure drawn; empty before the first.
    const QString& FigureText() const { return Figure; }
    /// The toolkit's icon.
    QSystemTrayIcon& Icon() { return *Tray; }
    /// Our own StatusNotifierItem; null without a session bus.
    TSniItem* Sni() { return Item; }

signals:
    /// A double click on the icon.
    void DoubleClicked();
    /// A context request (right click) on the icon, at the place the tray host gives.
    void ContextRequested(QPoint global);
    /// Shown() may have changed without Add or Remove: a tray host came or went.
    void ShownChanged();

private:
    static constexpr std::chrono::seconds TrayAskInterval{5};
    /// More figures than the percentages 00..100 and a few odd ones drop the kept icons.
    static constexpr qsizetype MaxFigureIcons = 128;

    QIcon FigureIcon(const QString& figureText, const QFont& font);
    void ShowToolkitIcon();
    /// Hands the tooltip on where its text changed: every tick brings new figures, and most
    /// are the same as before.
    void ShowToolTip();

    TTrayArt Art;
    /// The two fixed icons, drawn once: a peer that connects in a loop must not redraw them.
    QIcon ApplicationArt;
    QIcon AlertArt;
    QSystemTrayIcon* Tray;
    /// Takes over from the toolkit's icon whenever a StatusNotifierWatcher is there.
    TSniItem* Item = nullptr;
    bool Wanted = false;
    /// Whether a notification area exists, as last asked. On X11 asking while there is none
    /// is a round trip to the server, so then it is asked again only after a while.
    mutable bool TrayAvailable = false;
    mutable std::chrono::steady_clock::time_point NextTrayAsk{};
    bool TrayAssumed = false;
    std::uint8_t Mode = 0;
    QString Figure;
    QFont FigureFont;
    QString StatusText = QStringLiteral("Statlume");
    QString FiguresText;
    QHash<QString, QIcon> Figures;
};

} // namespace statlume
