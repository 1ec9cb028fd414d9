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
        form.exec();
    };
    return parts;
}

} // namespace statlume
