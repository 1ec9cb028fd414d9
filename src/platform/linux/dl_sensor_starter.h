#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
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

/// Receives the one-line reason a library was refused; may be called on any thread.
using TStarterMessage = std::function<void(const std::string& line)>;

/// Writes the line, prefixed with the program's name, to stderr in one write.
void StarterMessageToStderr(const std::string& line);

/// Loads MBMStarter.so with dlopen from one folder, and only when nobody but root or this
/// user can have put code into it.
class TDlSensorStarter final : public TSensorStarter
{
public:
    /// Looks in folder, by default the first of the executable's own and the installed
    /// library folder that holds the library; an empty or relative folder loads nothing, so
    /// the loader's search path is never used. Refusals go to message.
    explicit TDlSensorStarter(std::filesystem::path folder = FirstFolderHolding(
                                  SensorStarterFolders(ExecutableFolder()), SensorStarterFileName),
                              TStarterMessage message = StarterMessageToStderr);

    /// The loaded library; null when the file is missing or not a loadable library, and null
    /// with a message when it or its folder is owned by another user than root or this one,
    /// is writable by group or others, or is not a regular file. The file is opened once and
    /// that open file is what gets loaded, so it cannot be swapped after the check.
    std::unique_ptr<TSensorLibrary> Load() override;

private:
    std::filesystem::path Folder;
    TStarterMessage Message;
};

} // namespace statlume::platform
