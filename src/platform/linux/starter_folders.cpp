#include "platform/linux/starter_folders.h"

#ifndef STATLUME_STARTER_FROM_BIN
#error "STATLUME_STARTER_FROM_BIN must name the installed starter folder relative to bin"
#endif

namespace statlume::platform {

namespace {

// Normal form without a trailing slash, so that one folder is never listed twice.
std::filesystem::path Normal(const std::filesystem::path& folder)
{
    auto normal = folder.lexically_normal();
    if (!normal.has_filename() && normal != normal.root_path())
        normal = normal.parent_path();
    return normal;
}

} // namespace

std::string_view InstalledStarterFolder()
{
    return STATLUME_STARTER_FROM_BIN;
}

std::vector<std::filesystem::path>
SensorStarterFolders(const std::filesystem::path& executableFolder,
                     std::string_view installedFolder)
{
    if (executableFolder.empty() || executableFolder.is_relative())
        return {};
    std::vector<std::filesystem::path> folders{Normal(executableFolder)};
    const std::filesystem::path installed(installedFolder);
    // An absolute folder would tie the programs to one prefix; only a relative one is used.
    if (installedFolder.empty() || installed.is_absolute())
        return folders;
    auto beside = Normal(executableFolder / installed);
    if (beside != folders.front())
        folders.push_back(std::move(beside));
    return folders;
}

std::filesystem::path FirstFolderHolding(const std::vector<std::filesystem::path>& folders,
                                         std::string_view fileName)
{
    for (const auto& folder : folders) {
        std::error_code error;
        if (std::filesystem::exists(folder / fileName, error))
            return folder;
    }
    return {};
}

} // namespace statlume::platform
