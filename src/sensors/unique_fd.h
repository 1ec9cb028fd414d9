#pragma once

#include <utility>

#include <unistd.h>

namespace statlume {

/// Owns a file descriptor; -1 holds none.
class TUniqueFd
{
public:
    /// Takes ownership of fd.
    explicit TUniqueFd(int fd = -1) noexcept
        : Fd(fd)
    {
    }
    TUniqueFd(TUniqueFd&& other) noexcept
        : Fd(std::exchange(other.Fd, -1))
    {
    }
    TUniqueFd& operator=(TUniqueFd&& other) noexcept
    {
        if (this != &other)
            Reset(std::exchange(other.Fd, -1));
        return *this;
    }
    TUniqueFd(const TUniqueFd&) = delete;
    TUniqueFd& operator=(const TUniqueFd&) = delete;
    /// Closes the descriptor.
    ~TUniqueFd() { Reset(); }

    /// The descriptor, still owned.
    int Get() const noexcept { return Fd; }
    /// True when a descriptor is held.
    explicit operator bool() const noexcept { return Fd >= 0; }
    /// Closes the held descriptor and takes fd.
    void Reset(int fd = -1) noexcept
    {
        if (Fd >= 0)
            ::close(Fd);
        Fd = fd;
    }

private:
    int Fd;
};

} // namespace statlume
