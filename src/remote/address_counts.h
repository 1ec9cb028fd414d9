#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>

namespace statlume {

/// A peer's address as 16 bytes, IPv4 as ::ffff:a.b.c.d.
using TPeerAddress = std::array<std::uint8_t, 16>;

/// What a peer counts as against the per-address cap: an IPv4 address whole, an IPv6 address
/// by its /64 network, since one host commonly holds a whole /64.
TPeerAddress QuotaKeyOf(const TPeerAddress& address);

/// The open connections of a server counted per quota key, so one host cannot take every slot.
class TAddressCounts
{
public:
    /// Counts a connection from key.
    void Add(const TPeerAddress& key);
    /// Forgets a connection from key; nothing when none is counted.
    void Remove(const TPeerAddress& key);
    /// The connections counted from key.
    std::size_t Count(const TPeerAddress& key) const;
    /// The connections counted in all.
    std::size_t Total() const { return AllCount; }

    /// The key that must give up a connection so a newcomer from key can stay: key itself once
    /// it holds perAddress, the key holding the most (key on a tie) once total are open;
    /// nullopt while there is room.
    std::optional<TPeerAddress> MustYield(const TPeerAddress& key, std::size_t perAddress,
                                          std::size_t total) const;
    /// The key holding the most connections, preferred on a tie; nullopt when none is counted.
    std::optional<TPeerAddress> Busiest(const std::optional<TPeerAddress>& preferred = {}) const;

private:
    std::map<TPeerAddress, std::size_t> Counts;
    std::size_t AllCount = 0;
};

} // namespace statlume
