#include "platform/linux/small_file.h"

#include <cerrno>
#include <charconv>
#include <limits>

#include "platform/linux/unique_fd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace statlume::platform {

namespace {

std::string_view Trimmed(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

} // namespace

std::optional<std::string> ReadSmallFile(const std::string& path)
{
    return ReadSmallFileAt(AT_FDCWD, path.c_str());
}

std::optional<std::string> ReadSmallFileAt(int dirFd, const char* name)
{
    // Non-blocking, so a FIFO or a device planted in a tree given on the command line cannot
    // hold the tick up; such files are then refused by the type check.
    const TUniqueFd fd(::openat(dirFd, name, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd)
        return std::nullopt;
    struct stat info
    {
    };
    if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    char buffer[SmallFileLimit + 1];
    ssize_t got = 0;
    do {
        got = ::read(fd.Get(), buffer, sizeof buffer);
    } while (got < 0 && errno == EINTR);
    // sysfs hands out an attribute whole in the first read; a full buffer means a file that
    // is not one of them.
    if (got < 0 || static_cast<std::size_t>(got) > SmallFileLimit)
        return std::nullopt;
    return std::string(Trimmed(std::string_view(buffer, static_cast<std::size_t>(got))));
}

std::optional<std::uint64_t> ParseUnsigned(std::string_view text)
{
    text = Trimmed(text);
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<std::int64_t> ParseSigned(std::string_view text)
{
    text = Trimmed(text);
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<std::uint64_t> ReadUnsignedFile(const std::string& path)
{
    const auto text = ReadSmallFile(path);
    return text ? ParseUnsigned(*text) : std::nullopt;
}

std::optional<std::int64_t> ReadSignedFile(const std::string& path)
{
    const auto text = ReadSmallFile(path);
    return text ? ParseSigned(*text) : std::nullopt;
}

std::optional<std::string> ReadLinkTarget(const std::string& path)
{
    char buffer[SmallFileLimit + 1];
    const ssize_t got = ::readlink(path.c_str(), buffer, sizeof buffer);
    if (got <= 0 || static_cast<std::size_t>(got) > SmallFileLimit)
        return std::nullopt;
    return std::string(buffer, static_cast<std::size_t>(got));
}

std::optional<std::string> ReadLinkName(const std::string& path)
{
    const auto target = ReadLinkTarget(path);
    if (!target)
        return std::nullopt;
    const std::size_t slash = target->rfind('/');
    std::string name = slash == std::string::npos ? *target : target->substr(slash + 1);
    if (name.empty() || name == "." || name == "..")
        return std::nullopt;
    return name;
}

} // namespace statlume::platform
