#include "display/qt/dialog_place.h"
#include "display/qt/font_dialog.h"
#include "display/qt/statlume_display.h"
#include "display/qt/tray_icons.h"
#include "options/option_form.h"

#include <QGuiApplication>

namespace statlume {

TDisplayParts TStatlumeDisplay::StandardParts()
{
    TDisplayParts parts;
    parts.TrayArt.ApplicationIcon = ApplicationIcon;
    parts.TrayArt.AlertIcon = AlertIcon;
    parts.TrayArt.FigureIcon = ProcessorFigureIcon;
    parts.FontDialog = RunFontDialog;
    parts.OptionsDialog = [](TStatlumeDisplay& window) {
        TOptionForm form(window, &window);
        TSettingsStore* settings = window.Settings();
        RestoreDialogPlace(form, window,
                           settings != nullptr ? ReadDialogPlace(settings->Registry(), "Options")
                                               : std::nullopt);
        form.exec();
        if (settings != nullptr) {
            // On Wayland the compositor places dialogs; Qt knows no real position there.
            WriteDialogPlace(settings->Registry(), "Options", QRect(form.pos(), form.size()),
                             !QGuiApplication::platformName().startsWith(QLatin1String("wayland")));
        }
    };
    return parts;
}

} // namespace statlume
