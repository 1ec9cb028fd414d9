#include "cli/record_file.h"

#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/linux/fd_io.h"
#include "platform/linux/unique_fd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace statlume {

namespace {

std::string SystemError(const std::string& what, const std::string& path)
{
    return what + " '" + path + "': " + std::strerror(errno);
}

} // namespace

std::optional<std::string> ReadTextFile(const std::string& path)
{
    const platform::TUniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0)
        return std::nullopt;
    std::string text;
    char chunk[4096];
    for (;;) {
        const ssize_t got = ::read(fd.Get(), chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            return text;
        // A device such as /dev/zero never ends; memory must not grow without bound.
        if (text.size() + static_cast<std::size_t>(got) > MaxTextFileSize)
            return std::nullopt;
        text.append(chunk, static_cast<std::size_t>(got));
    }
}

TRecordFileResult ReadRecordFile(const std::string& path)
{
    const platform::TUniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0)
        return SystemError("cannot open record file", path);
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

void TRecordDump::Write(const TRawBytes& bytes)
{
    const auto error = WriteRecordFile(Path, bytes);
    if (error && !Failed)
        Err << "statlume-cli: " << *error << '\n' << std::flush;
    Failed = error.has_value();
}

} // namespace statlume
