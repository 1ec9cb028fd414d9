#include "platform/linux/shm_sensor_block.h"

#include <bit>
#include <cstdint>

#include "platform/linux/unique_fd.h"
#include "platform/linux/unique_mapping.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace statlume::platform {

namespace {

// One 32-bit load per word, so a word the publisher rewrites is never read half old, half
// new; the block is little-endian whatever the host is.
std::uint32_t LoadLe32(const std::uint8_t* at)
{
    const auto word = __atomic_load_n(reinterpret_cast<const std::uint32_t*>(at), __ATOMIC_RELAXED);
    if constexpr (std::endian::native == std::endian::little)
        return word;
    return (word >> 24) | (word >> 8 & 0xFF00u) | (word << 8 & 0xFF0000u) | (word << 24);
}

// Only the owner (and root) can shrink the object under a live mapping, which would fault
// on the copy; another user's object is therefore never mapped.
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
    const TUniqueMapping view(fd.Get(), SensorBlockMinSize, PROT_READ);
    if (!view.Valid())
        return std::nullopt;

    TSensorWords words;
    for (std::size_t i = 0; i < words.Temps.size(); ++i)
        words.Temps[i] = LoadLe32(view.Bytes() + SensorTempOffset + 4 * i);
    for (std::size_t i = 0; i < words.Fans.size(); ++i)
        words.Fans[i] = LoadLe32(view.Bytes() + SensorFanOffset + 4 * i);
    return words;
}

} // namespace statlume::platform
