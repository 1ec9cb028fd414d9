#pragma once

#include <cstdint>
#include <string>

#include "platform/linux/unique_fd.h"
#include "platform/linux/unique_mapping.h"
#include "sensors/hwmon_scan.h"

namespace statlume {

/// Creates the shared sensor block and writes readings into it.
class TBlockPublisher
{
public:
    /// Creates the POSIX shared memory object called name, zero-filled, of the block's
    /// minimum size with its pages allocated, with mode 0644 less the umask: the figures are
    /// the machine's and not secret, and readers trust only blocks of their own user or root.
    /// A block of this user's left by an earlier run is replaced. Throws std::runtime_error
    /// when another user holds the name, std::system_error when the object cannot be made or
    /// its pages cannot be had (a full /dev/shm), leaving no object behind.
    explicit TBlockPublisher(std::string name);
    TBlockPublisher(const TBlockPublisher&) = delete;
    TBlockPublisher& operator=(const TBlockPublisher&) = delete;
    /// Unmaps the block and removes its name, unless Keep was called or the name now
    /// belongs to another object.
    ~TBlockPublisher();

    /// Writes the temperatures at offsets 0, 4, 8 and the fans at 96, 100, 104, little-endian.
    void Write(const TSensorReadings& readings);

    /// Leaves the block in place after this object is gone (a single publication).
    void Keep() { Kept = true; }

    /// True while the name still opens this object; false once it was removed or another
    /// publisher made a block of its own under it.
    bool StillNamed() const;

private:
    std::string Name;
    platform::TUniqueFd Fd;
    platform::TUniqueMapping Mapping;
    bool Kept = false;
};

} // namespace statlume
