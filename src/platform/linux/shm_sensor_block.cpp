#include "platform/linux/shm_sensor_block.h"

#include <array>
#include <cerrno>
#include <cstdint>

#include "platform/linux/unique_fd.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace statlume::platform {

namespace {

std::uint32_t LoadLe32(const std::uint8_t* at)
{
    return std::uint32_t{at[0]} | std::uint32_t{at[1]} << 8 | std::uint32_t{at[2]} << 16 |
           std::uint32_t{at[3]} << 24;
}

// All count bytes from offset 0, or false: a block cut short under the reader reads as none.
bool ReadWhole(int fd, std::uint8_t* bytes, std::size_t count)
{
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got = ::pread(fd, bytes + done, count - done, static_cast<off_t>(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}

// Only this user and root are trusted to publish figures under the name.
bool Trusted(const struct stat& info)
{
    return S_ISREG(info.st_mode) && (info.st_uid == ::geteuid() || info.st_uid == 0) &&
           info.st_size >= static_cast<off_t>(SensorBlockMinSize);
}

} // namespace

TShmSensorBlock::TShmSensorBlock(std::string_view name)
    : Name(name)
{
}

std::optional<TSensorWords> TShmSensorBlock::Read() const
{
    const TUniqueFd fd(::shm_open(Name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC, 0));
    if (fd.Get() < 0)
        return std::nullopt;
    struct stat info
    {
    };
    if (::fstat(fd.Get(), &info) != 0 || !Trusted(info))
        return std::nullopt;
    // Read, not mapped: a mapped block whose pages a full /dev/shm never gave it, or that its
    // owner shrinks, faults (SIGBUS) on the first touch, whereas read just comes up short.
    std::array<std::uint8_t, SensorBlockMinSize> bytes{};
    if (!ReadWhole(fd.Get(), bytes.data(), bytes.size()))
        return std::nullopt;

    TSensorWords words;
    for (std::size_t i = 0; i < words.Temps.size(); ++i)
        words.Temps[i] = LoadLe32(bytes.data() + SensorTempOffset + 4 * i);
    for (std::size_t i = 0; i < words.Fans.size(); ++i)
        words.Fans[i] = LoadLe32(bytes.data() + SensorFanOffset + 4 * i);
    return words;
}

} // namespace statlume::platform
