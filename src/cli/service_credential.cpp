#include "cli/service_credential.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <endian.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace statlume {
namespace {

// How Linux stores an access ACL: a version word, then (tag, permissions, id) entries, all
// little-endian.
constexpr const char* AclName = "system.posix_acl_access";
constexpr std::uint32_t AclVersion = 2;
constexpr std::size_t AclHeaderSize = 4;
constexpr std::size_t AclEntrySize = 8;
constexpr std::uint16_t AclUserObj = 0x01;
constexpr std::uint16_t AclUser = 0x02;
constexpr std::uint16_t AclGroupObj = 0x04;
constexpr std::uint16_t AclMask = 0x10;
constexpr std::uint16_t AclOther = 0x20;

template <typename T> T LittleEndian(const unsigned char* data)
{
    T value{};
    std::memcpy(&value, data, sizeof value);
    if constexpr (sizeof value == 2) {
        return le16toh(value);
    } else {
        return le32toh(value);
    }
}

// The file's ACL names no one but its owner and this user; named groups, a group owner with
// any right, and others with any right all fail.
bool AclGrantsOnlyUs(int fd)
{
    std::array<unsigned char, 1024> data{};
    const ssize_t got = ::fgetxattr(fd, AclName, data.data(), data.size());
    if (got < static_cast<ssize_t>(AclHeaderSize) ||
        (static_cast<std::size_t>(got) - AclHeaderSize) % AclEntrySize != 0 ||
        LittleEndian<std::uint32_t>(data.data()) != AclVersion) {
        return false;
    }
    for (std::size_t at = AclHeaderSize; at < static_cast<std::size_t>(got); at += AclEntrySize) {
        const auto tag = LittleEndian<std::uint16_t>(data.data() + at);
        const auto rights = LittleEndian<std::uint16_t>(data.data() + at + 2);
        const auto id = LittleEndian<std::uint32_t>(data.data() + at + 4);
        if (tag == AclUser && id != ::geteuid()) {
            return false;
        }
        if ((tag == AclGroupObj || tag == AclOther) && rights != 0) {
            return false;
        }
        if (tag != AclUserObj && tag != AclUser && tag != AclGroupObj && tag != AclMask &&
            tag != AclOther) {
            return false;
        }
    }
    return true;
}

bool SameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The path names, without a link, the file read, and its folder is the credentials folder.
bool DirectlyInCredentialsFolder(const std::string& path, const struct stat& info)
{
    const char* folder = std::getenv("CREDENTIALS_DIRECTORY");
    const std::size_t slash = path.rfind('/');
    if (folder == nullptr || folder[0] != '/' || slash == std::string::npos) {
        return false;
    }
    const std::string parent = slash == 0 ? "/" : path.substr(0, slash);
    struct stat entry
    {
    };
    struct stat parentInfo
    {
    };
    struct stat folderInfo
    {
    };
    return ::lstat(path.c_str(), &entry) == 0 && SameFile(entry, info) &&
           ::stat(parent.c_str(), &parentInfo) == 0 && ::stat(folder, &folderInfo) == 0 &&
           SameFile(parentInfo, folderInfo);
}

} // namespace

bool IsServiceCredential(const std::string& path, int fd, const struct stat& info)
{
    const bool owner = info.st_uid == ::geteuid() || info.st_uid == 0;
    const mode_t never = S_IRWXO | S_IWGRP | S_IXGRP;
    if (!owner || (info.st_mode & never) != 0 || !DirectlyInCredentialsFolder(path, info)) {
        return false;
    }
    return (info.st_mode & S_IRGRP) == 0 || AclGrantsOnlyUs(fd);
}

} // namespace statlume
