#include "platform/linux/runtime_folder.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <utility>
#include <vector>

#include "platform/linux/errno_text.h"
#include "platform/linux/private_folder.h"
#include "platform/linux/unique_fd.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace statlume::platform {
namespace {

constexpr const char* RecordName = "runtime-folder";
constexpr const char* FolderPrefix = "statlume-";
constexpr std::size_t MaxRecordSize = 4096;
// Our own programs hold the record only while choosing, far less than this.
constexpr int LockAttempts = 200;
constexpr std::chrono::milliseconds LockPause(10);

bool LockRecord(int fd)
{
    for (int attempt = 0; attempt < LockAttempts; ++attempt) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            return true;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            return false;
        }
        std::this_thread::sleep_for(LockPause);
    }
    errno = ETIMEDOUT;
    return false;
}

// The record, opened and locked: a regular file of ours, never a link.
TUniqueFd OpenRecord(const std::string& path, std::string& error)
{
    TUniqueFd fd(
        ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
    struct stat info
    {
    };
    if (!fd.Valid() || ::fstat(fd.Get(), &info) != 0) {
        error = ErrnoText("cannot open '" + path + "'");
        return {};
    }
    if (!S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) {
        error = "'" + path + "' is not a file of this user's";
        return {};
    }
    if (!LockRecord(fd.Get())) {
        error = ErrnoText("cannot lock '" + path + "'");
        return {};
    }
    return fd;
}

std::string ReadRecord(int fd)
{
    std::vector<char> buffer(MaxRecordSize);
    const ssize_t got = ::pread(fd, buffer.data(), buffer.size(), 0);
    if (got <= 0 || static_cast<std::size_t>(got) == buffer.size()) {
        return {};
    }
    std::string text(buffer.data(), static_cast<std::size_t>(got));
    if (text.ends_with('\n')) {
        text.pop_back();
    }
    return text;
}

// A folder this function could have made: directly in tempRoot, named statlume-*, and still
// ours alone. A record another hand changed names nothing else of ours.
bool StillOurs(const std::string& folder, const std::string& tempRoot)
{
    const std::string prefix = tempRoot + "/" + FolderPrefix;
    return folder.size() > prefix.size() && folder.starts_with(prefix) &&
           folder.find('/', prefix.size()) == std::string::npos &&
           folder.find('\0') == std::string::npos && CheckPrivateFolder(folder, {}).Ok();
}

TFolderChoice MakeAndRecord(int fd, const std::string& tempRoot)
{
    std::string pattern = tempRoot + "/" + FolderPrefix + "XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        return {{}, ErrnoText("cannot create a private folder in '" + tempRoot + "'")};
    }
    const std::string line = pattern + "\n";
    if (::ftruncate(fd, 0) != 0 ||
        ::pwrite(fd, line.data(), line.size(), 0) != static_cast<ssize_t>(line.size())) {
        // Unrecorded, the next program would choose another folder: two displays could run.
        TFolderChoice failed{{}, ErrnoText("cannot record the run-time folder")};
        ::rmdir(pattern.c_str());
        return failed;
    }
    return {pattern, {}};
}

} // namespace

std::string CacheFolder()
{
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache != nullptr && cache[0] == '/') {
        return std::string(cache) + "/statlume";
    }
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
        return std::string(home) + "/.cache/statlume";
    }
    return {};
}

TFolderChoice RememberedTempFolder(const std::string& recordFolder, const std::string& tempRoot)
{
    if (std::string error = MakeFolders(recordFolder); !error.empty()) {
        return {{}, error};
    }
    // The user's own dotfile links are fine; a folder others may write is not.
    const TFolderProblem problem = CheckPrivateFolder(recordFolder, {022, true});
    if (!problem.Ok()) {
        return {{}, problem.Message()};
    }
    std::string error;
    const TUniqueFd record = OpenRecord(recordFolder + "/" + RecordName, error);
    if (!record.Valid()) {
        return {{}, error};
    }
    if (std::string folder = ReadRecord(record.Get()); StillOurs(folder, tempRoot)) {
        return {std::move(folder), {}};
    }
    return MakeAndRecord(record.Get(), tempRoot);
}

TFolderChoice FallbackRuntimeFolder()
{
    const std::string cache = CacheFolder();
    if (cache.empty()) {
        return {{},
                "no private run-time folder: XDG_RUNTIME_DIR, XDG_CACHE_HOME and HOME are unset"};
    }
    return RememberedTempFolder(cache, "/tmp");
}

} // namespace statlume::platform
