#include "display/example_folders.h"

#include <algorithm>
#include <string_view>

namespace statlume {
namespace {

const std::filesystem::path TemplatesFolder = std::filesystem::path("statlume") / "templates";

void Add(std::vector<std::filesystem::path>& folders, const std::filesystem::path& base)
{
    if (base.empty() || base.is_relative())
        return;
    std::filesystem::path folder = (base / TemplatesFolder).lexically_normal();
    if (std::find(folders.begin(), folders.end(), folder) == folders.end())
        folders.push_back(std::move(folder));
}

} // namespace

std::vector<std::filesystem::path> ExampleFolders(const TExamplePlaces& places)
{
    std::vector<std::filesystem::path> folders;
    const std::filesystem::path dataHome(places.DataHome);
    if (!places.DataHome.empty() && dataHome.is_absolute())
        Add(folders, dataHome);
    else if (!places.Home.empty())
        Add(folders, std::filesystem::path(places.Home) / ".local" / "share");
    const std::filesystem::path fromProgram(places.DataFromProgram);
    if (!places.ProgramFolder.empty() && !fromProgram.empty() && fromProgram.is_relative())
        Add(folders, places.ProgramFolder / fromProgram);
    const std::string_view dirs = places.DataDirs.empty()
                                      ? std::string_view("/usr/local/share/:/usr/share/")
                                      : std::string_view(places.DataDirs);
    std::size_t taken = 0;
    for (std::size_t start = 0; start <= dirs.size() && taken < MaxDataDirs;) {
        const std::size_t end = std::min(dirs.find(':', start), dirs.size());
        const std::filesystem::path dir(dirs.substr(start, end - start));
        if (!dir.empty() && dir.is_absolute()) {
            Add(folders, dir);
            ++taken;
        }
        start = end + 1;
    }
    return folders;
}

} // namespace statlume
