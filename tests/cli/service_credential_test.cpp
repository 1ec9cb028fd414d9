#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/record_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace statlume {
namespace {

namespace fs = std::filesystem;

constexpr uid_t Service = 65534;

struct TAclEntry
{
    std::uint16_t Tag;
    std::uint16_t Rights;
    std::uint32_t Id;
};

// An access ACL as the kernel stores it (little-endian, as on the machines this runs on).
bool SetAcl(const std::string& path, const std::vector<TAclEntry>& entries)
{
    std::vector<unsigned char> data(4 + 8 * entries.size());
    const std::uint32_t version = 2;
    std::memcpy(data.data(), &version, 4);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        std::memcpy(data.data() + 4 + 8 * i, &entries[i].Tag, 2);
        std::memcpy(data.data() + 6 + 8 * i, &entries[i].Rights, 2);
        std::memcpy(data.data() + 8 + 8 * i, &entries[i].Id, 4);
    }
    return ::setxattr(path.c_str(), "system.posix_acl_access", data.data(), data.size(), 0) == 0;
}

// What the service manager makes: root's file, 0400, with read for the service's user.
std::vector<TAclEntry> CredentialAcl(std::vector<TAclEntry> more = {})
{
    std::vector<TAclEntry> entries{{0x01, 4, 0}, {0x02, 4, Service}};
    entries.insert(entries.end(), more.begin(), more.end());
    entries.insert(entries.end(), {{0x04, 0, 0}, {0x10, 4, 0}, {0x20, 0, 0}});
    // The kernel takes the entries in the order of their tags only.
    std::stable_sort(entries.begin(), entries.end(),
                     [](const TAclEntry& a, const TAclEntry& b) { return a.Tag < b.Tag; });
    return entries;
}

// Reads path as the service's user with CREDENTIALS_DIRECTORY set to folder.
bool ReadsAsService(const std::string& path, const std::string& folder)
{
    const pid_t child = ::fork();
    if (child == 0) {
        ::setenv("CREDENTIALS_DIRECTORY", folder.c_str(), 1);
        if (::setresgid(Service, Service, Service) != 0 ||
            ::setresuid(Service, Service, Service) != 0) {
            ::_exit(2);
        }
        std::string message;
        ::_exit(ReadPasswordFile(path, message) == std::optional<std::string>("pw") ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(ServiceCredential, AcceptsWhatTheServiceManagerHandsOver)
{
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to make files as the service manager does for uid 65534";
    }
    char pattern[] = "/tmp/statlume-cred-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const fs::path base = pattern;
    const std::unique_ptr<const fs::path, void (*)(const fs::path*)> removeBase(
        &base, [](const fs::path* path) { fs::remove_all(*path); });
    ::chmod(pattern, 0711);
    const fs::path folder = base / "credentials";
    const fs::path elsewhere = base / "elsewhere";

    struct Row
    {
        const char* name;
        mode_t mode;
        uid_t owner;
        std::vector<TAclEntry> acl;
        bool inFolder;
        bool accepted;
        bool link = false;
    };
    const Row rows[] = {
        {"root's, with an ACL for the service", 0400, 0, CredentialAcl(), true, true},
        {"the service's own, 0400 (no ACLs)", 0400, Service, {}, true, true},
        {"root's, the same outside the folder", 0400, 0, CredentialAcl(), false, false},
        {"root's, readable by its group", 0440, 0, {}, true, false},
        {"root's, the ACL names another user too", 0400, 0, CredentialAcl({{0x02, 4, 1234}}), true,
         false},
        {"root's, the ACL names a group", 0400, 0, CredentialAcl({{0x08, 4, Service}}), true,
         false},
        {"root's, readable by others", 0404, 0, {}, true, false},
        {"another user's", 0400, 1234, CredentialAcl(), true, false},
        {"a link in the folder to a file elsewhere", 0400, 0, CredentialAcl(), true, false, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove_all(folder);
        fs::remove_all(elsewhere);
        fs::create_directory(folder);
        fs::create_directory(elsewhere);
        ::chmod(folder.c_str(), 0755);
        ::chmod(elsewhere.c_str(), 0755);
        const fs::path file = (row.inFolder && !row.link ? folder : elsewhere) / "password";
        std::ofstream(file) << "pw\n";
        ASSERT_EQ(::chown(file.c_str(), row.owner, Service), 0);
        ASSERT_EQ(::chmod(file.c_str(), row.mode), 0);
        if (!row.acl.empty() && !SetAcl(file.string(), row.acl)) {
            std::cout << "skipped '" << row.name << "': no ACLs here (" << std::strerror(errno)
                      << ")\n";
            continue;
        }
        fs::path given = file;
        if (row.link) {
            given = folder / "password";
            fs::create_symlink(file, given);
        }
        EXPECT_EQ(ReadsAsService(given.string(), folder.string()), row.accepted);
    }
}

} // namespace
} // namespace statlume
