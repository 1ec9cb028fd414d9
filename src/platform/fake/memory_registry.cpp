#include "platform/fake/memory_registry.h"

#include <stdexcept>
#include <utility>

namespace statlume::platform {

TMemoryRegistry::TMemoryRegistry(TRegistryTree tree)
    : Keys(std::move(tree))
{
}

void TMemoryRegistry::Update(const std::function<void(TRegistryTree&)>& change)
{
    if (FailWrites) {
        throw std::runtime_error("writes refused");
    }
    // Apply to a copy so a change that throws half-way leaves nothing behind.
    TRegistryTree next = Keys;
    change(next);
    Keys = std::move(next);
}

} // namespace statlume::platform
