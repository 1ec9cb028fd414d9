#include "display/qt/dialog_place.h"
#include "display/qt/font_dialog.h"
#include "display/qt/statlume_display.h"
#include "display/qt/tray_icons.h"
#include "options/option_form.h"

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
            WriteDialogPlace(settings->Registry(), "Options", QRect(form.pos(), form.size()));
        }
    };
    return parts;
}

} // namespace statlume
