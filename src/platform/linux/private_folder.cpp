#include "platform/linux/private_folder.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/linux/errno_text.h"
#include "platform/linux/unique_fd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace statlume::platform {
namespace {

std::string OctalMode(mode_t mode)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
    return text;
}

} // namespace

TFolderProblem CheckPrivateFolder(const std::string& folder, const TFolderRule& rule)
{
    TFolderProblem problem;
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (rule.FollowLinks ? 0 : O_NOFOLLOW);
    const TUniqueFd fd(::open(folder.c_str(), flags));
    struct stat info
    {
    };
    if (!fd.Valid() || ::fstat(fd.Get(), &info) != 0) {
        problem.Errno = errno;
        problem.What = ErrnoText("'" + folder + "' is not a usable folder");
        return problem;
    }
    const std::string chmod = "chmod 700 '" + folder + "'";
    if (info.st_uid != ::geteuid()) {
        problem.What =
            "'" + folder + "' belongs to another user (uid " + std::to_string(info.st_uid) + ")";
        problem.Fix = "remove it, or take it over (chown) and " + chmod;
    } else if ((info.st_mode & rule.ForbiddenBits) != 0) {
        const bool writable = (info.st_mode & rule.ForbiddenBits & 022) != 0;
        problem.What = "'" + folder + "' is " + (writable ? "writable" : "readable") +
                       " by other users (mode " + OctalMode(info.st_mode) + ")";
        problem.Fix = chmod;
    }
    return problem;
}

std::string EnsurePrivateFolder(const std::string& folder, const TFolderRule& rule)
{
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        return ErrnoText("cannot create '" + folder + "'");
    }
    return CheckPrivateFolder(folder, rule).Message();
}

std::string MakeFolders(const std::string& folder)
{
    for (std::size_t pos = folder.find('/', 1);; pos = folder.find('/', pos + 1)) {
        const std::string part = folder.substr(0, pos);
        if (!part.empty() && ::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            return ErrnoText("cannot create the folder '" + part + "'");
        }
        if (pos == std::string::npos) {
            return {};
        }
    }
}

} // namespace statlume::platform
