#pragma once

#include <filesystem>
#include <memory>
#include <string_view>

#include "platform/linux/starter_folders.h"
#include "platform/sensor_starter.h"

namespace statlume::platform {

/// File name of the starter library, looked for beside the executable, then in the installed
/// library folder.
inline constexpr std::string_view SensorStarterFileName = "MBMStarter.so";

/// Name of the library's entry, a C function without arguments or result.
inline constexpr std::string_view SensorStarterEntry = "Start";

/// Folder of the running program's executable, from /proc/self/exe; empty when unknown.
std::filesystem::path ExecutableFolder();

/// Loads MBMStarter.so with dlopen from one folder.
class TDlSensorStarter final : public TSensorStarter
{
public:
    /// Looks in folder, by default the first of the executable's own and the installed
    /// library folder that holds the library; an empty or relative folder loads nothing, so
    /// the loader's search path is never used.
    explicit TDlSensorStarter(std::filesystem::path folder = FirstFolderHolding(
                                  SensorStarterFolders(ExecutableFolder()), SensorStarterFileName));

    /// The loaded library; null when the file is missing or not a loadable library.
    std::unique_ptr<TSensorLibrary> Load() override;

private:
    std::filesystem::path Folder;
};

} // namespace statlume::platform
