#pragma once

#include <utility>

#include <unistd.h>

namespace statlume::platform {

/// Owns one file descriptor and closes it; -1 means none.
class TUniqueFd
{
public:
    TUniqueFd() = default;
    /// Takes ownership of fd (may be -1).
    explicit TUniqueFd(int fd)
        : Fd(fd)
    {
    }
    ~TUniqueFd() { Reset(); }
    TUniqueFd(TUniqueFd&& other) noexcept
        : Fd(std::exchange(other.Fd, -1))
    {
    }
    TUniqueFd& operator=(TUniqueFd&& other) noexcept
    {
        if (this != &other) {
            Reset(std::exchange(other.Fd, -1));
        }
        return *this;
    }
    TUniqueFd(const TUniqueFd&) = delete;
    TUniqueFd& operator=(const TUniqueFd&) = delete;

    /// The descriptor, still owned.
    int Get() const { return Fd; }
    /// An open descriptor is held.
    bool Valid() const { return Fd >= 0; }
    /// True when a descriptor is held.
    explicit operator bool() const { return Valid(); }
    /// Closes the held descriptor now; false when close reported an error (for example a
    /// deferred write failure), which callers that write files must not ignore.
    bool Close()
    {
        const int fd = std::exchange(Fd, -1);
        return fd < 0 || ::close(fd) == 0;
    }
    /// Closes the held descriptor and takes fd instead.
    void Reset(int fd = -1)
    {
        if (Fd >= 0) {
            ::close(Fd);
        }
        Fd = fd;
    }

private:
    int Fd = -1;
};

} // namespace statlume::platform
