#include "display/qt/display_tray.h"

#include <QSystemTrayIcon>

namespace statlume {

TDisplayTray::TDisplayTray(TTrayArt art, QObject* parent)
    : QObject(parent)
    , Art(std::move(art))
    , Tray(new QSystemTrayIcon(this))
{
    Tray->setObjectName(QStringLiteral("TrayIcon"));
    Tray->setToolTip(QStringLiteral("Statlume"));
    if (Art.ApplicationIcon) {
        Tray->setIcon(Art.ApplicationIcon());
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
    Mode = mode;
    QIcon icon;
    if (mode == 0 && Art.ApplicationIcon) {
        icon = Art.ApplicationIcon();
    } else if (mode == 1 && Art.AlertIcon) {
        icon = Art.AlertIcon();
    } else if (mode == 2 && Art.FigureIcon) {
        Figure = figureText;
        icon = Art.FigureIcon(figureText, font);
    } else {
        return;
    }
    // The tray keeps its own copy; the previous figure is released with the old QIcon.
    Tray->setIcon(icon);
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

bool TDisplayTray::Shown() const
{
    return Tray->isVisible() && QSystemTrayIcon::isSystemTrayAvailable();
}

} // namespace statlume
