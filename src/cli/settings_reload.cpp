#include "cli/settings_reload.h"

#include <cerrno>
#include <filesystem>
#include <variant>

#include "cli/record_file.h"
#include "platform/linux/private_folder.h"
#include "platform/linux/registry_text.h"

#include <sys/stat.h>

namespace statlume {

namespace {

template <typename T>
std::optional<T> ValueOf(const platform::TRegistryValues& values, const char* name,
                         const platform::TReportFunc& report)
{
    const auto found = values.find(name);
    if (found == values.end())
        return std::nullopt;
    if (const T* value = std::get_if<T>(&found->second))
        return *value;
    if (report)
        report(std::string("Invalid data type for '") + name + "'");
    return std::nullopt;
}

} // namespace

std::optional<TStoredSettings> ReadReloadSettings(std::string_view fileText,
                                                  const std::string& keyPath, bool client,
                                                  const platform::TReportFunc& report)
{
    TStoredSettings settings;
    settings.Interval = client ? 2000 : 1000;
    if (fileText.empty())
        return settings;
    const platform::TRegistryParseResult parsed = platform::ParseRegistryText(fileText);
    if (!parsed.Tree) {
        if (report)
            report("the settings file cannot be read (line " + std::to_string(parsed.Line) + ": " +
                   parsed.Reason + "); the current settings stay");
        return std::nullopt;
    }
    const auto key = parsed.Tree->find(keyPath);
    if (key == parsed.Tree->end())
        return settings;
    const platform::TRegistryValues& values = key->second;
    settings.FormatString = ValueOf<std::string>(values, "FormatString", report);
    settings.Interval =
        ValueOf<std::int32_t>(values, "Interval", report).value_or(settings.Interval);
    settings.ExcludeText = ValueOf<std::string>(values, "Exclude", report).value_or("");
    settings.DriveMap =
        ValueOf<std::string>(values, "DriveMap", report).value_or(settings.DriveMap);
    return settings;
}

std::optional<TStoredSettings> ReadReloadSettingsFile(const std::string& path,
                                                      const std::string& keyPath, bool client,
                                                      const platform::TReportFunc& report)
{
    // The check start-up makes: whoever can write in the folder could plant the template.
    const auto problem =
        platform::CheckPrivateFolder(std::filesystem::path(path).parent_path(), {022, true});
    if (!problem.Ok() && problem.Errno != ENOENT) {
        if (report)
            report("The settings folder cannot be used: " + problem.Message() +
                   "; the current settings stay");
        return std::nullopt;
    }
    struct stat info
    {
    };
    if (::lstat(path.c_str(), &info) != 0 && errno == ENOENT)
        return ReadReloadSettings({}, keyPath, client, report);
    std::string reason;
    const auto text = ReadTextFile(path, reason);
    if (!text) {
        if (report)
            report("cannot read the settings file '" + path + "': " + reason +
                   "; the current settings stay");
        return std::nullopt;
    }
    return ReadReloadSettings(*text, keyPath, client, report);
}

} // namespace statlume
