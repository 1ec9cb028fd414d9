#include "cli/record_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "cli/service_credential.h"
#include "platform/linux/fd_io.h"
#include "platform/linux/regular_file.h"
#include "platform/linux/unique_fd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace statlume {

using platform::OpenRegularFile;
using platform::ReadAll;

namespace {

std::string SystemError(const std::string& what, const std::string& path)
{
    return what + " '" + path + "': " + std::strerror(errno);
}

} // namespace

std::optional<std::string> ReadTextFile(const std::string& path, std::string& reason)
{
    return platform::ReadRegularFile(path, MaxTextFileSize, reason);
}

std::optional<std::string> ReadPasswordFile(const std::string& path, std::string& message)
{
    struct stat info
    {
    };
    std::string reason;
    const platform::TUniqueFd fd = OpenRegularFile(path, info, reason);
    if (!fd) {
        message = "cannot read password file '" + path + "': " + reason;
        return std::nullopt;
    }
    // Checked on the descriptor read from, so the file cannot be swapped after the check.
    const bool closed = info.st_uid == ::geteuid() && (info.st_mode & (S_IRWXG | S_IRWXO)) == 0;
    if (!closed && !IsServiceCredential(path, fd.Get(), info)) {
        message = "password file '" + path +
                  "' must be yours and not open to group or others (chmod 600 '" + path + "')";
        return std::nullopt;
    }
    auto text = ReadAll(fd.Get(), MaxPasswordFileSize, reason);
    if (!text) {
        message = "cannot read password file '" + path + "': " + reason;
        return std::nullopt;
    }
    text->resize(std::min(text->find('\n'), text->size()));
    if (!text->empty() && text->back() == '\r')
        text->pop_back();
    // An empty password means clear text: never that by accident.
    if (text->empty()) {
        message = "password file '" + path + "' holds no password on its first line";
        return std::nullopt;
    }
    return text;
}

TRecordFileResult ReadRecordFile(const std::string& path)
{
    struct stat info
    {
    };
    std::string reason;
    const platform::TUniqueFd fd = OpenRegularFile(path, info, reason);
    if (!fd)
        return "cannot open record file '" + path + "': " + reason;
    TRawBytes bytes{};
    std::size_t used = 0;
    std::uint8_t extra = 0;
    // Read one byte beyond the record to tell a longer file from an exact one.
    for (;;) {
        const bool full = used == bytes.size();
        const ssize_t got = full ? ::read(fd.Get(), &extra, 1)
                                 : ::read(fd.Get(), bytes.data() + used, bytes.size() - used);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return SystemError("cannot read record file", path);
        if (got == 0)
            break;
        if (full)
            return "record file '" + path + "' is longer than " + std::to_string(RawDataSize) +
                   " bytes";
        used += static_cast<std::size_t>(got);
    }
    if (used != bytes.size())
        return "record file '" + path + "' holds " + std::to_string(used) + " bytes, not " +
               std::to_string(RawDataSize);
    return bytes;
}

std::optional<std::string> WriteRecordFile(const std::string& path, const TRawBytes& bytes)
{
    // A name of our own making: a fixed one could be planted by another user in a shared
    // folder, or written by a second run dumping to the same file.
    std::string temporary = path + ".tmp-XXXXXX";
    platform::TUniqueFd fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (fd.Get() < 0)
        return SystemError("cannot create", temporary);
    if (::fchmod(fd.Get(), 0644) != 0 ||
        !platform::WriteAll(fd.Get(), bytes.data(), bytes.size()) || !fd.Close()) {
        const std::string message = SystemError("cannot write", temporary);
        ::unlink(temporary.c_str());
        return message;
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const std::string message = SystemError("cannot replace record file", path);
        ::unlink(temporary.c_str());
        return message;
    }
    return std::nullopt;
}

TRecordDump::TRecordDump(std::string path, std::ostream& err)
    : Path(std::move(path))
    , Err(err)
{
}

bool TRecordDump::Write(const TRawBytes& bytes)
{
    const auto error = WriteRecordFile(Path, bytes);
    if (error)
        Err << "statlume-cli: " << *error << '\n' << std::flush;
    return !error;
}

} // namespace statlume
