#include <cstdlib>
#include <optional>
#include <string>

#include "display/qt/statlume_display.h"
#include "platform/linux/autostart.h"
#include "platform/linux/environment.h"

#include <QCoreApplication>

namespace statlume {
namespace {

using platform::AutostartPath;
using platform::DisableAutostart;
using platform::EnableAutostart;
using platform::Environment;
using platform::IsAutostartOn;
using platform::TAutostartResult;

std::string AutostartFile()
{
    return AutostartPath(Environment("XDG_CONFIG_HOME"), Environment("HOME"));
}

} // namespace

void TStatlumeDisplay::ShowAutostartState()
{
    const std::string path = AutostartFile();
    MenuItems->StartatLogin1->setChecked(!path.empty() && IsAutostartOn(path));
}

void TStatlumeDisplay::StartatLogin1Click()
{
    const std::string path = AutostartFile();
    if (path.empty()) {
        ShowAutostartState();
        throw TCommandError("Start at login needs XDG_CONFIG_HOME or HOME to be set.");
    }
    // The program's own resolved path, so the entry starts this copy wherever it is installed.
    const std::string executable = QCoreApplication::applicationFilePath().toStdString();
    const TAutostartResult result = MenuItems->StartatLogin1->isChecked()
                                        ? EnableAutostart(path, executable)
                                        : DisableAutostart(path);
    ShowAutostartState();
    if (!result.Ok()) {
        throw TCommandError(result.Error);
    }
}

} // namespace statlume
