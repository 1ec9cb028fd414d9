#pragma once

#include <filesystem>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/linux/starter_folders.h"
#include "platform/sensor_starter.h"

namespace statlume::platform {

/// File name of the starter library, looked for beside the executable and in the installed
/// library folder.
inline constexpr std::string_view SensorStarterFileName = "MBMStarter.so";

/// Name of the library's entry, a C function without arguments or result.
inline constexpr std::string_view SensorStarterEntry = "Start";

/// Folder of the running program's executable, from /proc/self/exe; empty when unknown.
std::filesystem::path ExecutableFolder();

/// Loads MBMStarter.so with dlopen from the first of its folders that holds a loadable one.
class TDlSensorStarter final : public TSensorStarter
{
public:
    /// Looks beside the executable, then in the installed library folder.
    TDlSensorStarter();

    /// Looks in folder only; an empty or relative folder loads nothing, so the loader's
    /// search path is never used.
    explicit TDlSensorStarter(std::filesystem::path folder);

    /// The loaded library; null when the file is missing or not a loadable library.
    std::unique_ptr<TSensorLibrary> Load() override;

private:
    std::vector<std::filesystem::path> Folders;
};

} // namespace statlume::platform
