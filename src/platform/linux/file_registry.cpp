#include "platform/linux/file_registry.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

#include "platform/linux/fd_io.h"
#include "platform/linux/registry_text.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace statlume::platform {
namespace {

std::system_error SystemError(const std::string& what)
{
    return std::system_error(errno, std::generic_category(), what);
}

std::string HomeFolder()
{
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
        return home;
    }
    if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir) {
        return entry->pw_dir;
    }
    return "/";
}

// Creates every missing folder of path with mode 0700.
void MakeFolders(const std::string& path)
{
    for (std::size_t pos = path.find('/', 1);; pos = path.find('/', pos + 1)) {
        const std::string part = path.substr(0, pos);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            throw SystemError("cannot create the folder '" + part + "'");
        }
        if (pos == std::string::npos) {
            return;
        }
    }
}

// Holds an exclusive flock for its life.
class TFlockGuard
{
public:
    explicit TFlockGuard(int fd)
        : Fd(fd)
    {
        while (::flock(Fd, LOCK_EX) != 0) {
            if (errno != EINTR) {
                throw SystemError("cannot lock the settings");
            }
        }
    }
    ~TFlockGuard() { ::flock(Fd, LOCK_UN); }
    TFlockGuard(const TFlockGuard&) = delete;
    TFlockGuard& operator=(const TFlockGuard&) = delete;

private:
    int Fd;
};

// Reads at most limit + 1 bytes so an oversized file is seen as such without reading it all.
bool ReadAll(int fd, std::string& out, std::size_t limit)
{
    out.clear();
    char buffer[16384];
    while (out.size() <= limit) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (n == 0) {
            break;
        }
        out.append(buffer, static_cast<std::size_t>(n));
    }
    return true;
}

std::string TimeStamp()
{
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    ::gmtime_r(&now, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &parts);
    return text;
}

} // namespace

std::string DefaultSettingsFolder()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const std::string base =
        (config != nullptr && config[0] == '/') ? std::string(config) : HomeFolder() + "/.config";
    return base + "/statlume";
}

bool TFileRegistry::TIdentity::operator==(const TIdentity& other) const
{
    return Device == other.Device && Inode == other.Inode && Size == other.Size &&
           Modified.tv_sec == other.Modified.tv_sec && Modified.tv_nsec == other.Modified.tv_nsec &&
           Changed.tv_sec == other.Changed.tv_sec && Changed.tv_nsec == other.Changed.tv_nsec;
}

TFileRegistry::TFileRegistry(std::string filePath, TReportFunc report)
    : FilePath(std::move(filePath))
    , Report(std::move(report))
{
    const std::size_t slash = FilePath.rfind('/');
    Folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : FilePath.substr(0, slash));
    const std::string lockPath = FilePath + ".lock";
    LockFile.Reset(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    Load(false);
}

TFileRegistry TFileRegistry::OpenUserSettings(TReportFunc report)
{
    const std::string folder = DefaultSettingsFolder();
    try {
        MakeFolders(folder);
    } catch (const std::system_error& error) {
        if (report) {
            report(error.what());
        }
    }
    return TFileRegistry(folder + "/settings.reg", std::move(report));
}

void TFileRegistry::Load(bool locked)
{
    std::string reason;
    std::size_t line = 0;
    if (ReloadIfChanged(reason, line)) {
        return;
    }
    if (!locked && LockFile.Valid()) {
        // Another copy may be replacing the file right now: look again under the lock
        // before keeping anything aside.
        TFlockGuard guard(LockFile.Get());
        Load(true);
        return;
    }
    KeepAside(line, reason);
}

bool TFileRegistry::ReloadIfChanged(std::string& reason, std::size_t& line)
{
    TUniqueFd file(::open(FilePath.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.Valid()) {
        if (errno == ENOENT) {
            Cached.clear();
            CachedFile.Reset();
            CachedIdentity = {};
            return true;
        }
        reason = std::strerror(errno);
        return false;
    }
    struct stat info
    {
    };
    if (::fstat(file.Get(), &info) != 0) {
        reason = std::strerror(errno);
        return false;
    }
    const TIdentity identity{info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim};
    if (CachedFile.Valid() && identity == CachedIdentity) {
        return true;
    }
    std::string text;
    if (!ReadAll(file.Get(), text, MaxRegistryTextSize)) {
        reason = std::strerror(errno);
        return false;
    }
    auto parsed = ParseRegistryText(text);
    if (!parsed.Tree) {
        reason = parsed.Reason;
        line = parsed.Line;
        return false;
    }
    Cached = std::move(*parsed.Tree);
    CachedFile = std::move(file);
    CachedIdentity = identity;
    return true;
}

void TFileRegistry::KeepAside(std::size_t line, const std::string& reason)
{
    const std::string base = FilePath + ".bad-" + TimeStamp();
    std::string aside = base;
    int result = -1;
    for (int attempt = 1; attempt <= 100; ++attempt) {
        result = ::renameat2(AT_FDCWD, FilePath.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE);
        if (result == 0 || errno != EEXIST) {
            break;
        }
        aside = base + "-" + std::to_string(attempt);
    }
    const std::string where = line > 0 ? "line " + std::to_string(line) + ": " : std::string();
    std::string message =
        "The settings file '" + FilePath + "' cannot be read (" + where + reason + "); ";
    if (result == 0) {
        message += "it was kept as '" + aside + "' and the default settings are used.";
    } else {
        message += "it could not be kept aside (" + std::string(std::strerror(errno)) +
                   ") and the default settings are used.";
    }
    Cached.clear();
    CachedFile.Reset();
    CachedIdentity = {};
    if (Report) {
        Report(message);
    }
}

void TFileRegistry::Update(const std::function<void(TRegistryTree&)>& change)
{
    if (!LockFile.Valid()) {
        throw std::system_error(EBADF, std::generic_category(), "no lock file for the settings");
    }
    TFlockGuard guard(LockFile.Get());
    if (!TempsSwept) {
        RemoveStaleTemps();
        TempsSwept = true;
    }
    Load(true);
    TRegistryTree next = Cached;
    change(next);
    WriteTree(next);
    Cached = std::move(next);
}

void TFileRegistry::RemoveStaleTemps() const
{
    // Temporary files are only made under the lock, so any found while holding it belong to
    // a writer that died before its rename.
    const std::string prefix = std::filesystem::path(FilePath).filename().string() + ".tmp-";
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(Folder, error)) {
        if (entry.path().filename().string().starts_with(prefix)) {
            ::unlink(entry.path().c_str());
        }
    }
}

void TFileRegistry::WriteTree(const TRegistryTree& tree)
{
    std::string tempPath = FilePath + ".tmp-XXXXXX";
    TUniqueFd temp(::mkostemp(tempPath.data(), O_CLOEXEC));
    if (!temp.Valid()) {
        throw SystemError("cannot create a file in '" + Folder + "'");
    }
    try {
        const std::string text = FormatRegistryText(tree);
        if (!WriteAll(temp.Get(), text.data(), text.size())) {
            throw SystemError("cannot write the settings");
        }
        if (::fchmod(temp.Get(), 0600) != 0 || ::fsync(temp.Get()) != 0) {
            throw SystemError("cannot write the settings");
        }
        if (::rename(tempPath.c_str(), FilePath.c_str()) != 0) {
            throw SystemError("cannot replace '" + FilePath + "'");
        }
    } catch (...) {
        ::unlink(tempPath.c_str());
        throw;
    }
    // The rename is durable only once the folder is synced.
    const TUniqueFd folder(::open(Folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.Valid()) {
        ::fsync(folder.Get());
    }
    struct stat info
    {
    };
    if (::fstat(temp.Get(), &info) == 0) {
        CachedIdentity = {info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim};
        CachedFile = std::move(temp);
    } else {
        CachedFile.Reset();
    }
}

} // namespace statlume::platform
