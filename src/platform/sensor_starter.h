#pragma once

#include <memory>

namespace statlume::platform {

/// A loaded sensor starter library; unloaded when destroyed.
class TSensorLibrary
{
public:
    virtual ~TSensorLibrary() = default;

    /// Calls the library's entry "Start", which may block until the sensor side is up;
    /// returns false, calling nothing, when the library has no such entry.
    virtual bool Start() = 0;
};

/// Finds and loads the sensor starter library.
class TSensorStarter
{
public:
    virtual ~TSensorStarter() = default;

    /// Loads the library; null when it is missing or cannot be loaded. Safe to call from a
    /// thread other than the one that created the starter.
    virtual std::unique_ptr<TSensorLibrary> Load() = 0;
};

} // namespace statlume::platform
