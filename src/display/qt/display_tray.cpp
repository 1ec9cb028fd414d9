#include "display/qt/display_tray.h"

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
    Tray->setToolTip(QStringLiteral("Statlume"));
    if (!ApplicationArt.isNull()) {
        Tray->setIcon(ApplicationArt);
    }
    connect(Tray, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::DoubleClick) {
                    emit DoubleClicked();
                } else if (reason == QSystemTrayIcon::Context) {
                    emit ContextRequested();
                }
            });
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
    Tray->show();
}

void TDisplayTray::Remove()
{
    Tray->hide();
}

void TDisplayTray::Restore()
{
    Tray->hide();
    Tray->show();
}

void TDisplayTray::SetToolTip(const QString& text)
{
    if (Tray->toolTip() != text) {
        Tray->setToolTip(text);
    }
}

bool TDisplayTray::Shown() const
{
    return Tray->isVisible() && QSystemTrayIcon::isSystemTrayAvailable();
}

} // namespace statlume
