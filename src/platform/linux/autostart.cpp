#include "platform/linux/autostart.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/linux/fd_io.h"
#include "platform/linux/private_folder.h"
#include "platform/linux/unique_fd.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace statlume::platform {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view ExecReserved = " \t\n\"'\\><~|&;$*?#()`";

bool HasControl(std::string_view text)
{
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
}

// The Exec value as the desktop entry format wants it: quoted when it holds a reserved
// character, then the string escapes, then field codes kept literal.
std::string ExecValue(std::string_view executable)
{
    std::string quoted;
    if (executable.find_first_of(ExecReserved) == std::string_view::npos) {
        quoted = executable;
    } else {
        quoted = "\"";
        for (const char c : executable) {
            if (c == '"' || c == '`' || c == '$' || c == '\\')
                quoted += '\\';
            quoted += c;
        }
        quoted += '"';
    }
    std::string value;
    for (const char c : quoted) {
        if (c == '\\')
            value += "\\\\";
        else if (c == '%')
            value += "%%";
        else
            value += c;
    }
    return value;
}

std::string SystemMessage(const std::string& what, const std::string& path)
{
    return "Cannot " + what + " '" + path + "': " + std::strerror(errno) + ".";
}

} // namespace

std::string AutostartPath(const std::optional<std::string>& configHome,
                          const std::optional<std::string>& home)
{
    std::string base;
    if (configHome && configHome->starts_with('/'))
        base = *configHome;
    else if (home && home->starts_with('/'))
        base = *home + "/.config";
    else
        return {};
    return base + "/autostart/" + std::string(AutostartFileName);
}

std::string AutostartEntry(const std::string& executable)
{
    if (!executable.starts_with('/') || HasControl(executable))
        return {};
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Statlume\n"
           "Comment=Live system figures on the desktop\n"
           "Exec=" +
           ExecValue(executable) +
           "\n"
           "Icon=statlume\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

bool IsAutostartOn(const std::string& path)
{
    std::error_code error;
    return !path.empty() && fs::is_regular_file(path, error);
}

TAutostartResult EnableAutostart(const std::string& path, const std::string& executable)
{
    TAutostartResult result;
    const std::string text = AutostartEntry(executable);
    if (path.empty() || text.empty()) {
        result.Error = "Cannot write the login entry: no usable configuration folder or "
                       "program path.";
        return result;
    }
    // New folders are private, as a new config folder should be.
    result.Error = MakeFolders(fs::path(path).parent_path().string());
    if (!result.Ok())
        return result;
    std::string tempPath = path + ".XXXXXX";
    TUniqueFd file(::mkostemp(tempPath.data(), O_CLOEXEC));
    if (file.Get() < 0) {
        result.Error = SystemMessage("create", path);
        return result;
    }
    // mkostemp makes the file 0600; desktop sessions read the entry as any other one.
    if (::fchmod(file.Get(), 0644) != 0 || !WriteAll(file.Get(), text.data(), text.size()) ||
        ::fsync(file.Get()) != 0 || !file.Close()) {
        result.Error = SystemMessage("write", path);
    } else if (::rename(tempPath.c_str(), path.c_str()) != 0) {
        result.Error = SystemMessage("replace", path);
    }
    if (!result.Ok())
        ::unlink(tempPath.c_str());
    return result;
}

TAutostartResult DisableAutostart(const std::string& path)
{
    TAutostartResult result;
    if (path.empty())
        result.Error = "Cannot remove the login entry: no usable configuration folder.";
    else if (::unlink(path.c_str()) != 0 && errno != ENOENT)
        result.Error = SystemMessage("remove", path);
    return result;
}

} // namespace statlume::platform
