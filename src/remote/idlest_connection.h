#pragma once

#include <algorithm>
#include <utility>

namespace statlume {

/// The connection to close when a server needs room: one that never sent a byte goes first (a
/// burst of silent newcomers must not push out a client that polls slower than they arrive),
/// else the one silent longest. Connections maps ids to pointers to records with `Spoke` and
/// `LastInput`; end() when it is empty.
template <typename TConnections> auto IdlestConnection(TConnections& connections)
{
    return std::min_element(connections.begin(), connections.end(),
                            [](const auto& left, const auto& right) {
                                return std::pair(left.second->Spoke, left.second->LastInput) <
                                       std::pair(right.second->Spoke, right.second->LastInput);
                            });
}

} // namespace statlume
