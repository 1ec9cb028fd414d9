#pragma once

#include <filesystem>
#include <string_view>
#include <vector>

namespace statlume::platform {

/// The installed starter library's folder relative to the programs' folder, as the build
/// configured it (for example "../lib/statlume").
std::string_view InstalledStarterFolder();

/// The folders to look for the starter library in, in order: the executable's own folder (a
/// build tree), then installedFolder taken relative to it (an installed program); empty when
/// executableFolder is empty or relative, so neither the loader's search path nor the working
/// folder is ever used.
std::vector<std::filesystem::path>
SensorStarterFolders(const std::filesystem::path& executableFolder,
                     std::string_view installedFolder = InstalledStarterFolder());

/// The first of folders that holds an entry named fileName; empty when none does.
std::filesystem::path FirstFolderHolding(const std::vector<std::filesystem::path>& folders,
                                         std::string_view fileName);

} // namespace statlume::platform
