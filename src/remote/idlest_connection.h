#pragma once

#include <algorithm>
#include <utility>

namespace statlume {

namespace detail {

// One that never sent a byte goes first (a burst of silent newcomers must not push out a
// client that polls slower than they arrive), else the one silent longest.
inline constexpr auto IdlerFirst = [](const auto& left, const auto& right) {
    return std::pair(left.second->Spoke, left.second->LastInput) <
           std::pair(right.second->Spoke, right.second->LastInput);
};

} // namespace detail

/// The connection of key to close when a server needs room: one that never sent a byte goes
/// first, else the one silent longest. Connections maps ids to pointers to records with `Key`,
/// `Spoke` and `LastInput`; end() when key has none.
template <typename TConnections, typename TKey>
auto IdlestConnectionFrom(TConnections& connections, const TKey& key)
{
    auto idlest = connections.end();
    for (auto at = connections.begin(); at != connections.end(); ++at) {
        if (at->second->Key == key &&
            (idlest == connections.end() || detail::IdlerFirst(*at, *idlest)))
            idlest = at;
    }
    return idlest;
}

} // namespace statlume
