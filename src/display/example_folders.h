#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace statlume {

/// What decides where example templates are looked for: the environment as the program
/// found it (empty when unset) and the program's own place.
struct TExamplePlaces
{
    std::string DataHome{};
    std::string Home{};
    std::string DataDirs{};
    /// The running program's folder; empty when unknown.
    std::filesystem::path ProgramFolder{};
    /// The installed data folder relative to the programs' folder ("../share").
    std::string DataFromProgram{};
};

/// Most folders taken from XDG_DATA_DIRS: the variable may be long, each folder costs a scan.
inline constexpr std::size_t MaxDataDirs = 16;

/// The "statlume/templates" folders to look in, first wins: the user's data folder
/// ($XDG_DATA_HOME, else ~/.local/share), the data folder beside the program (a build tree or
/// an installed tree moved as a whole), then each of $XDG_DATA_DIRS (else /usr/local/share and
/// /usr/share). Relative folders are ignored, as XDG asks; none is listed twice.
std::vector<std::filesystem::path> ExampleFolders(const TExamplePlaces& places);

} // namespace statlume
