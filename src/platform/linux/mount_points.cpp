#include "platform/linux/mount_points.h"

#include <algorithm>
#include <array>

#include "platform/linux/line_scan.h"
#include "platform/linux/mount_info.h"
#include "platform/linux/proc_file.h"

#include <fcntl.h>

namespace statlume::platform {

namespace {

constexpr std::array<std::string_view, 7> NetworkTypes = {"nfs", "nfs4",       "cifs", "smb3",
                                                          "zfs", "fuse.sshfs", "9p"};

// The kernel writes a blank, tab, newline and backslash in a path as \040, \011, \012, \134.
std::string Unescaped(std::string_view field)
{
    std::string path;
    for (std::size_t i = 0; i < field.size(); ++i) {
        const auto isOctal = [](char c) { return c >= '0' && c <= '7'; };
        const bool octal = field[i] == '\\' && i + 3 < field.size() && isOctal(field[i + 1]) &&
                           isOctal(field[i + 2]) && isOctal(field[i + 3]);
        if (octal) {
            path += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                      (field[i + 3] - '0'));
            i += 3;
        } else {
            path += field[i];
        }
    }
    return path;
}

bool HoldsUserFiles(std::string_view type, std::string_view source)
{
    if (source.starts_with("/dev/"))
        return type != "squashfs";
    return std::find(NetworkTypes.begin(), NetworkTypes.end(), type) != NetworkTypes.end();
}

bool Printable(const std::string& path)
{
    return std::none_of(path.begin(), path.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
}

} // namespace

std::vector<std::string> MountPointsOf(std::string_view mountInfoText)
{
    std::vector<std::string> points{"/"};
    ForEachLine(mountInfoText, [&points](std::string_view line) {
        const auto mount = ReadMountLine(line);
        if (points.size() >= MountPointLimit || !mount ||
            !HoldsUserFiles(mount->Type, mount->Source))
            return;
        std::string path = Unescaped(mount->Point);
        if (path.starts_with('/') && Printable(path) &&
            std::find(points.begin(), points.end(), path) == points.end())
            points.push_back(std::move(path));
    });
    return points;
}

std::vector<std::string> ListMountPoints(const std::string& procfsRoot)
{
    const TUniqueFd fd(::open((procfsRoot + "/self/mountinfo").c_str(), O_RDONLY | O_CLOEXEC));
    std::vector<char> buffer;
    const auto text = fd ? ReadWhole(fd.Get(), buffer) : std::nullopt;
    return text ? MountPointsOf(*text) : std::vector<std::string>{"/"};
}

} // namespace statlume::platform
