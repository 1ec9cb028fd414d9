#include "platform/linux/file_registry.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

#include "base/printable_text.h"
#include "base/utf8_bytes.h"
#include "platform/linux/fd_io.h"
#include "platform/linux/private_folder.h"
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

// A value name from the file, safe to show and short enough for one line of a message: a
// damaged file may hold names of thousands of characters.
std::string PrintableName(std::string_view name)
{
    constexpr std::size_t maxBytes = 40;
    if (name.size() <= maxBytes) {
        return PrintableText(name);
    }
    std::size_t cut = maxBytes;
    while (cut > 0 && IsContinuationByte(name[cut])) {
        --cut;
    }
    return PrintableText(name.substr(0, cut)) + "…";
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

TFileRegistry::TFileRegistry(std::string filePath, TReportFunc report, TFileAccess access)
    : FilePath(std::move(filePath))
    , Report(std::move(report))
    , Access(access)
{
    const std::size_t slash = FilePath.rfind('/');
    Folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : FilePath.substr(0, slash));
    if (Access == TFileAccess::ReadWrite) {
        OpenLockFile();
    }
    if (Access != TFileAccess::MemoryOnly) {
        Load(false, nullptr);
    }
}

TFileRegistry TFileRegistry::OpenUserSettings(TReportFunc report)
{
    const std::string folder = DefaultSettingsFolder();
    const std::string path = folder + "/settings.reg";
    std::string problem = MakeFolders(folder);
    if (problem.empty()) {
        // Whoever can write in the folder can replace the settings and the stored password.
        problem = CheckPrivateFolder(folder, {022, true}).Message();
    }
    if (problem.empty()) {
        return TFileRegistry(path, std::move(report));
    }
    if (report) {
        report("The settings folder cannot be used: " + problem +
               ". The default settings are used and nothing is saved.");
    }
    return TFileRegistry(path, std::move(report), TFileAccess::MemoryOnly);
}

TFileRegistry TFileRegistry::OpenUserSettingsReadOnly(TReportFunc report)
{
    const std::string folder = DefaultSettingsFolder();
    const std::string path = folder + "/settings.reg";
    const TFolderProblem problem = CheckPrivateFolder(folder, {022, true});
    if (problem.Ok()) {
        return TFileRegistry(path, std::move(report), TFileAccess::ReadOnly);
    }
    if (problem.Errno != ENOENT && report) {
        report("The settings folder cannot be used: " + problem.Message() +
               ". The default settings are used.");
    }
    return TFileRegistry(path, std::move(report), TFileAccess::MemoryOnly);
}

bool TFileRegistry::OpenLockFile()
{
    const std::string lockPath = FilePath + ".lock";
    TUniqueFd lock(
        ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600));
    struct stat info
    {
    };
    if (lock.Valid() && (::fstat(lock.Get(), &info) != 0 || !S_ISREG(info.st_mode))) {
        lock.Reset();
        errno = EINVAL;
    }
    LockFile = std::move(lock);
    return LockFile.Valid();
}

bool TFileRegistry::Load(bool locked, std::string* readError)
{
    TLoadResult result = ReloadIfChanged();
    switch (result.Outcome) {
    case TLoadOutcome::Loaded:
        return true;
    case TLoadOutcome::CannotRead:
        if (readError != nullptr) {
            *readError = result.Reason;
        } else if (Report) {
            Report("The settings file '" + FilePath + "' cannot be read (" + result.Reason +
                   "); the default settings are used.");
        }
        return false;
    case TLoadOutcome::CannotParse:
        break;
    }
    if (Access != TFileAccess::ReadWrite) {
        ReportSalvage(result.Salvage, "it stays where it is");
        Cached = result.Salvage.Tree ? std::move(*result.Salvage.Tree) : TRegistryTree();
        TookOverSalvage = !Cached.empty();
        return true;
    }
    if (!locked && LockFile.Valid()) {
        // Another copy may be replacing the file right now: look again under the lock
        // before keeping anything aside.
        TFlockGuard guard(LockFile.Get());
        return Load(true, readError);
    }
    KeepAside(std::move(result.Salvage));
    return true;
}

TFileRegistry::TLoadResult TFileRegistry::ReloadIfChanged()
{
    TLoadResult result;
    const auto cannotRead = [&result](std::string reason) {
        result.Outcome = TLoadOutcome::CannotRead;
        result.Reason = std::move(reason);
        return result;
    };
    // Non-blocking, so a FIFO planted at the name cannot stall the open.
    TUniqueFd file(::open(FilePath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!file.Valid()) {
        if (errno == ENOENT) {
            Cached.clear();
            CachedFile.Reset();
            CachedIdentity = {};
            return result;
        }
        return cannotRead(std::strerror(errno));
    }
    struct stat info
    {
    };
    if (::fstat(file.Get(), &info) != 0) {
        return cannotRead(std::strerror(errno));
    }
    if (!S_ISREG(info.st_mode)) {
        return cannotRead("not a regular file");
    }
    const TIdentity identity{info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim};
    if (CachedFile.Valid() && identity == CachedIdentity) {
        return result;
    }
    std::string text;
    if (!ReadAll(file.Get(), text, MaxRegistryTextSize)) {
        return cannotRead(std::strerror(errno));
    }
    auto parsed = ParseRegistryText(text);
    if (!parsed.Tree) {
        result.Outcome = TLoadOutcome::CannotParse;
        result.Salvage = SalvageRegistryText(text);
        return result;
    }
    Cached = std::move(*parsed.Tree);
    CachedFile = std::move(file);
    CachedIdentity = identity;
    return result;
}

void TFileRegistry::KeepAside(TRegistryParseResult salvage)
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
    const std::string fate =
        result == 0 ? "it was kept as '" + aside + "'"
                    : "it could not be kept aside (" + std::string(std::strerror(errno)) + ")";
    ReportSalvage(salvage, fate);
    Cached = salvage.Tree ? std::move(*salvage.Tree) : TRegistryTree();
    TookOverSalvage = !Cached.empty();
    CachedFile.Reset();
    CachedIdentity = {};
    if (result != 0 || Cached.empty()) {
        return;
    }
    // Stored at once: the next write would otherwise find no file and start from nothing.
    try {
        WriteTree(Cached);
    } catch (const std::exception& error) {
        if (Report) {
            Report("The values taken over could not be stored: " + std::string(error.what()));
        }
    }
}

void TFileRegistry::ReportSalvage(const TRegistryParseResult& salvage,
                                  const std::string& fate) const
{
    if (!Report) {
        return;
    }
    const std::string where =
        salvage.Line > 0 ? "line " + std::to_string(salvage.Line) + ": " : std::string();
    std::string message = "The settings file '" + FilePath + "' cannot be read (" + where +
                          salvage.Reason + "); " + fate + ". ";
    std::size_t kept = 0;
    if (salvage.Tree) {
        for (const auto& [key, values] : *salvage.Tree) {
            kept += values.size();
        }
    }
    if (kept == 0) {
        message += "The default settings are used.";
    } else if (salvage.LostCount == 0) {
        message += "The " + std::to_string(kept) + " values it held are used.";
    } else {
        message += "The " + std::to_string(kept) + " values it still held are used; lost: ";
        for (std::size_t i = 0; i < salvage.Lost.size(); ++i) {
            const TRegistryLostLine& lost = salvage.Lost[i];
            // Appended piece by piece: GCC 12's -O3 sees a false overlap in one long sum.
            message += i > 0 ? ", " : "";
            if (!lost.Name.empty()) {
                message += '"';
                message += PrintableName(lost.Name);
                message += "\" ";
            }
            message += "line " + std::to_string(lost.Line);
        }
        if (salvage.LostCount > salvage.Lost.size()) {
            message +=
                " and " + std::to_string(salvage.LostCount - salvage.Lost.size()) + " more lines";
        }
        message += ".";
    }
    Report(message);
}

void TFileRegistry::Update(const std::function<void(TRegistryTree&)>& change)
{
    if (Access != TFileAccess::ReadWrite) {
        TRegistryTree next = Cached;
        change(next);
        Cached = std::move(next);
        return;
    }
    if (!LockFile.Valid() && !OpenLockFile()) {
        throw SystemError("cannot open the lock of '" + FilePath + "'");
    }
    TFlockGuard guard(LockFile.Get());
    if (!TempsSwept) {
        RemoveStaleTemps();
        TempsSwept = true;
    }
    if (std::string readError; !Load(true, &readError)) {
        // The stored values are unknown: writing now would replace them with ours alone.
        throw std::runtime_error("cannot read '" + FilePath + "': " + readError);
    }
    TRegistryTree next = Cached;
    change(next);
    if (next == Cached) {
        return;
    }
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
    const std::string text = FormatRegistryText(tree);
    if (text.size() > MaxRegistryTextSize) {
        if (Report) {
            Report("The settings would grow beyond 16 MiB, more than a start reads; nothing "
                   "was written.");
        }
        throw std::system_error(EFBIG, std::generic_category(), "the settings are too large");
    }
    std::string tempPath = FilePath + ".tmp-XXXXXX";
    TUniqueFd temp(::mkostemp(tempPath.data(), O_CLOEXEC));
    if (!temp.Valid()) {
        throw SystemError("cannot create a file in '" + Folder + "'");
    }
    try {
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
