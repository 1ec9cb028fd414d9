#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include <sys/mman.h>

namespace statlume::platform {

/// Owns one shared mapping of a file and unmaps it; a mapping that failed holds nothing.
class TUniqueMapping
{
public:
    TUniqueMapping() = default;
    /// Maps length bytes of fd from offset 0, shared, with the protection prot (PROT_READ,
    /// PROT_WRITE); Valid tells whether it worked, errno why not.
    TUniqueMapping(int fd, std::size_t length, int prot)
        : Address(::mmap(nullptr, length, prot, MAP_SHARED, fd, 0))
        , Length(length)
    {
    }
    ~TUniqueMapping() { Reset(); }
    TUniqueMapping(TUniqueMapping&& other) noexcept
        : Address(std::exchange(other.Address, MAP_FAILED))
        , Length(std::exchange(other.Length, 0))
    {
    }
    TUniqueMapping& operator=(TUniqueMapping&& other) noexcept
    {
        if (this != &other) {
            Reset();
            Address = std::exchange(other.Address, MAP_FAILED);
            Length = std::exchange(other.Length, 0);
        }
        return *this;
    }
    TUniqueMapping(const TUniqueMapping&) = delete;
    TUniqueMapping& operator=(const TUniqueMapping&) = delete;

    /// A mapping is held.
    bool Valid() const { return Address != MAP_FAILED; }
    /// The first mapped byte; only meaningful while Valid.
    std::uint8_t* Bytes() const { return static_cast<std::uint8_t*>(Address); }

private:
    void Reset()
    {
        if (Address != MAP_FAILED)
            ::munmap(Address, Length);
        Address = MAP_FAILED;
    }

    void* Address = MAP_FAILED;
    std::size_t Length = 0;
};

} // namespace statlume::platform
