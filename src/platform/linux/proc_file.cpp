#include "platform/linux/proc_file.h"

#include <cerrno>
#include <cstddef>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace statlume::platform {

std::optional<std::string_view> ReadWhole(int fd, std::vector<char>& buffer)
{
    if (fd < 0)
        return std::nullopt;
    if (buffer.size() < 4096)
        buffer.resize(4096);
    std::size_t total = 0;
    for (;;) {
        const std::size_t room = buffer.size() - total;
        const ssize_t got = ::pread(fd, buffer.data() + total, room, static_cast<off_t>(total));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        total += static_cast<std::size_t>(got);
        // procfs fills the whole buffer unless the file ended, so a short read is the end.
        if (static_cast<std::size_t>(got) < room)
            break;
        buffer.resize(buffer.size() * 2);
    }
    return std::string_view(buffer.data(), total);
}

TProcFile::TProcFile(const std::string& path)
    : FilePath(path)
    , Fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC))
    , Error(Fd.Valid() ? 0 : errno)
{
}

std::optional<std::string_view> TProcFile::Read()
{
    if (!Fd.Valid())
        return std::nullopt;
    auto text = ReadWhole(Fd.Get(), Buffer);
    Error = text ? 0 : errno;
    return text;
}

std::string TProcFile::Problem() const
{
    if (Error == 0)
        return FilePath + " is not in the expected form";
    return "cannot read " + FilePath + ": " + std::strerror(Error);
}

TProcDirectory::TProcDirectory(const std::string& path)
    : Fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
{
}

bool TProcDirectory::ListNumeric()
{
    Names.clear();
    if (!Fd.Valid() || ::lseek(Fd.Get(), 0, SEEK_SET) < 0)
        return false;
    if (Entries.empty())
        Entries.resize(32768);
    for (;;) {
        const ssize_t got = ::getdents64(Fd.Get(), Entries.data(), Entries.size());
        if (got < 0)
            return errno == EINTR ? ListNumeric() : false;
        if (got == 0)
            return true;
        std::size_t pos = 0;
        while (pos + offsetof(dirent64, d_name) < static_cast<std::size_t>(got)) {
            const auto* entry = reinterpret_cast<const dirent64*>(Entries.data() + pos);
            if (entry->d_reclen == 0)
                return false;
            const char* name = entry->d_name;
            bool numeric = *name != '\0';
            for (const char* c = name; *c != '\0'; ++c)
                numeric = numeric && *c >= '0' && *c <= '9';
            if (numeric) {
                Names.append(name);
                Names.push_back('\0');
            }
            pos += entry->d_reclen;
        }
    }
}

} // namespace statlume::platform
