#include <cstdlib>

#include "display/example_folders.h"
#include "display/qt/statlume_display.h"
#include "platform/linux/dl_sensor_starter.h"
#include "platform/linux/environment.h"

#ifndef STATLUME_DATA_FROM_BIN
#error "STATLUME_DATA_FROM_BIN must name the installed data folder relative to bin"
#endif

namespace statlume {
namespace {

std::string EnvironmentText(const char* name)
{
    return platform::Environment(name).value_or("");
}

} // namespace

std::vector<std::filesystem::path> TStatlumeDisplay::ExampleFolders() const
{
    return statlume::ExampleFolders(TExamplePlaces{
        EnvironmentText("XDG_DATA_HOME"), EnvironmentText("HOME"), EnvironmentText("XDG_DATA_DIRS"),
        platform::ExecutableFolder(), STATLUME_DATA_FROM_BIN});
}

} // namespace statlume
