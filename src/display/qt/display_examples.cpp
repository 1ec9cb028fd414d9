#include <cstdlib>

#include "display/example_folders.h"
#include "display/qt/statlume_display.h"
#include "platform/linux/dl_sensor_starter.h"

#ifndef STATLUME_DATA_FROM_BIN
#error "STATLUME_DATA_FROM_BIN must name the installed data folder relative to bin"
#endif

namespace statlume {
namespace {

std::string Environment(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

} // namespace

std::vector<std::filesystem::path> TStatlumeDisplay::ExampleFolders() const
{
    return statlume::ExampleFolders(TExamplePlaces{
        Environment("XDG_DATA_HOME"), Environment("HOME"), Environment("XDG_DATA_DIRS"),
        platform::ExecutableFolder(), STATLUME_DATA_FROM_BIN});
}

} // namespace statlume
