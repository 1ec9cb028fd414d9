#include "sensors/block_publisher.h"

#include <bit>
#include <cerrno>
#include <stdexcept>
#include <system_error>

#include "platform/sensor_block.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace statlume {

namespace {

constexpr int CreateFlags = O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;

[[noreturn]] void Fail(const std::string& what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

// An existing object under the name: ours (left by a run that did not end cleanly) or not.
bool OwnedByThisUser(const std::string& name)
{
    const platform::TUniqueFd fd(::shm_open(name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC, 0));
    if (!fd)
        return errno == ENOENT;
    struct stat info
    {
    };
    return ::fstat(fd.Get(), &info) == 0 && info.st_uid == ::geteuid();
}

platform::TUniqueFd CreateObject(const std::string& name)
{
    platform::TUniqueFd fd(::shm_open(name.c_str(), CreateFlags, 0644));
    if (!fd && errno == EEXIST) {
        if (!OwnedByThisUser(name))
            throw std::runtime_error("the block " + name + " belongs to another user");
        ::shm_unlink(name.c_str());
        fd.Reset(::shm_open(name.c_str(), CreateFlags, 0644));
    }
    if (!fd)
        Fail("cannot create the block " + name);
    return fd;
}

// One 32-bit store per word, so a reader never sees half of an update.
void StoreLe32(std::uint8_t* at, std::int32_t value)
{
    auto word = static_cast<std::uint32_t>(value);
    if constexpr (std::endian::native == std::endian::big)
        word = (word >> 24) | (word >> 8 & 0xFF00u) | (word << 8 & 0xFF0000u) | (word << 24);
    __atomic_store_n(reinterpret_cast<std::uint32_t*>(at), word, __ATOMIC_RELAXED);
}

} // namespace

TBlockPublisher::TBlockPublisher(std::string name)
    : Name(std::move(name))
    , Fd(CreateObject(Name))
{
    // The pages are taken now: on a full /dev/shm a block that was only sized would fault
    // (SIGBUS) at its first write here and at every reader's first look.
    const int allocateError = ::posix_fallocate(Fd.Get(), 0, platform::SensorBlockMinSize);
    if (allocateError != 0) {
        ::shm_unlink(Name.c_str());
        errno = allocateError;
        Fail("cannot allocate the block " + Name);
    }
    Mapping =
        platform::TUniqueMapping(Fd.Get(), platform::SensorBlockMinSize, PROT_READ | PROT_WRITE);
    if (!Mapping.Valid()) {
        const int error = errno;
        ::shm_unlink(Name.c_str());
        errno = error;
        Fail("cannot map the block " + Name);
    }
}

TBlockPublisher::~TBlockPublisher()
{
    if (!Kept && StillNamed())
        ::shm_unlink(Name.c_str());
}

bool TBlockPublisher::StillNamed() const
{
    const platform::TUniqueFd named(::shm_open(Name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC, 0));
    struct stat namedInfo
    {
    };
    struct stat ownInfo
    {
    };
    return named && ::fstat(named.Get(), &namedInfo) == 0 && ::fstat(Fd.Get(), &ownInfo) == 0 &&
           namedInfo.st_dev == ownInfo.st_dev && namedInfo.st_ino == ownInfo.st_ino;
}

void TBlockPublisher::Write(const TSensorReadings& readings)
{
    for (std::size_t i = 0; i < readings.Temps.size(); ++i)
        StoreLe32(Mapping.Bytes() + platform::SensorTempOffset + 4 * i, readings.Temps[i]);
    for (std::size_t i = 0; i < readings.Fans.size(); ++i)
        StoreLe32(Mapping.Bytes() + platform::SensorFanOffset + 4 * i, readings.Fans[i]);
}

} // namespace statlume
