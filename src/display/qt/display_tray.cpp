#include "display/qt/display_tray.h"

#include "display/qt/sni_item.h"

#include <QCursor>
#include <QSystemTrayIcon>

namespace statlume {

TDisplayTray::TDisplayTray(TTrayArt art, QObject* parent)
    : QObject(parent)
    , Art(std::move(art))
    , ApplicationArt(Art.ApplicationIcon ? Art.ApplicationIcon() : QIcon())
    , AlertArt(Art.AlertIcon ? Art.AlertIcon() : QIcon())
    , Tray(new QSystemTrayIcon(this))
{
    Tray->setObjectName(QStringLiteral("TrayIcon"));
    Tray->setToolTip(StatusText);
    if (!ApplicationArt.isNull()) {
        Tray->setIcon(ApplicationArt);
    }
    connect(Tray, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::DoubleClick) {
                    emit DoubleClicked();
                } else if (reason == QSystemTrayIcon::Context) {
                    emit ContextRequested(QCursor::pos());
                }
            });
    Item = TSniItem::Create(this);
    if (Item != nullptr) {
        Item->SetIcon(ApplicationArt, false);
        Item->SetToolTip(StatusText, {});
        Item->SetAttentionIcon(AlertArt);
        connect(Item, &TSniItem::Activated, this, &TDisplayTray::DoubleClicked);
        connect(Item, &TSniItem::ContextRequested, this, &TDisplayTray::ContextRequested);
        connect(Item, &TSniItem::RegisteredChanged, this, [this] {
            ShowToolkitIcon();
            emit ShownChanged();
        });
    }
}

void TDisplayTray::ShowToolkitIcon()
{
    // One icon only: the toolkit's serves trays without a watcher (XEmbed), ours the rest.
    // Nothing here waits for the bus: a silent bus must not stop the window.
    const bool ours = Item != nullptr && Item->Registered();
    Tray->setVisible(Wanted && !ours);
}

void TDisplayTray::SetTrayIcon(std::uint8_t mode, const QString& figureText, const QFont& font)
{
    const bool sameFigure = Mode == 2 && mode == 2 && figureText == Figure && font == FigureFont;
    // Every accept and connection error asks again for the mode it already has.
    if (mode != 2 && mode == Mode) {
        return;
    }
    Mode = mode;
    QIcon icon;
    if (mode == 0 && !ApplicationArt.isNull()) {
        icon = ApplicationArt;
    } else if (mode == 1 && !AlertArt.isNull()) {
        icon = AlertArt;
    } else if (mode == 2 && Art.FigureIcon) {
        if (sameFigure) {
            return;
        }
        Figure = figureText;
        icon = FigureIcon(figureText, font);
    } else {
        return;
    }
    Tray->setIcon(icon);
    if (Item != nullptr) {
        Item->SetIcon(icon, mode == 1);
    }
    ShowToolTip();
}

QIcon TDisplayTray::FigureIcon(const QString& figureText, const QFont& font)
{
    // The toolkit keeps per-icon data for every new icon it is handed; reusing one icon per
    // figure keeps that bounded over hours of ticks.
    if (font != FigureFont || Figures.size() >= MaxFigureIcons) {
        Figures.clear();
        FigureFont = font;
    }
    auto found = Figures.find(figureText);
    if (found == Figures.end()) {
        found = Figures.insert(figureText, Art.FigureIcon(figureText, font));
    }
    return found.value();
}

void TDisplayTray::Add()
{
    Wanted = true;
    if (Item != nullptr) {
        Item->SetWanted(true);
    }
    ShowToolkitIcon();
}

void TDisplayTray::Remove()
{
    Wanted = false;
    if (Item != nullptr) {
        Item->SetWanted(false);
    }
    Tray->hide();
}

void TDisplayTray::Restore()
{
    Remove();
    Add();
}

void TDisplayTray::SetToolTip(const QString& text)
{
    if (text != StatusText) {
        StatusText = text;
        ShowToolTip();
    }
}

void TDisplayTray::SetFigures(const QString& figures)
{
    if (figures != FiguresText) {
        FiguresText = figures;
        ShowToolTip();
    }
}

void TDisplayTray::ShowToolTip()
{
    const QString shown =
        FiguresText.isEmpty() ? StatusText : StatusText + QLatin1Char('\n') + FiguresText;
    // The toolkit's tooltip reads markup: the block-character drawings line up only in a
    // fixed-width font.
    const QString toolkitShown =
        FiguresText.isEmpty() ? StatusText
                              : QStringLiteral("<p style=\"white-space:pre\">") +
                                    StatusText.toHtmlEscaped() + QStringLiteral("</p><pre>") +
                                    FiguresText.toHtmlEscaped() + QStringLiteral("</pre>");
    if (Tray->toolTip() != toolkitShown) {
        Tray->setToolTip(toolkitShown);
    }
    if (Item != nullptr) {
        Item->SetToolTip(shown, Mode == 2 ? Figure + QStringLiteral(" %") : QString());
    }
}

bool TDisplayTray::Shown() const
{
    if (Item != nullptr && Item->Registered()) {
        return true;
    }
    if (!Tray->isVisible()) {
        return false;
    }
    if (TrayAssumed) {
        return true;
    }
    // A tray once found is remembered by the toolkit, so asking again costs nothing.
    const auto now = std::chrono::steady_clock::now();
    if (TrayAvailable || now >= NextTrayAsk) {
        TrayAvailable = QSystemTrayIcon::isSystemTrayAvailable();
        NextTrayAsk = now + TrayAskInterval;
    }
    return TrayAvailable;
}

} // namespace statlume
