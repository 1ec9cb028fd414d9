#pragma once

#include <functional>

#include "platform/registry.h"

namespace statlume::platform {

/// A registry held in memory, for tests and demos; can be made to fail its writes.
class TMemoryRegistry : public TRegistry
{
public:
    TMemoryRegistry() = default;
    /// Starts from the given keys and values.
    explicit TMemoryRegistry(TRegistryTree tree);

    /// Every key and value as stored now.
    const TRegistryTree& Tree() const { return Keys; }
    /// When set, every change is refused as a failed write.
    bool FailWrites = false;

protected:
    const TRegistryTree& Snapshot() override { return Keys; }
    void Update(const std::function<void(TRegistryTree&)>& change) override;

private:
    TRegistryTree Keys;
};

} // namespace statlume::platform
