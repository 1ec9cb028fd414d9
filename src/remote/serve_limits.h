#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace statlume {

/// The connections a server keeps open at most when none is given.
inline constexpr std::size_t DefaultMaxClients = 256;
/// The connections a server keeps open per peer address when none is given.
inline constexpr std::size_t DefaultMaxPerAddress = 16;

/// An address range: an IPv6 address (IPv4 held as ::ffff:a.b.c.d) and its prefix length.
struct TCidr
{
    std::array<std::uint8_t, 16> Address{};
    /// Leading bits that must match, 0..128 (an IPv4 prefix is stored plus 96).
    int PrefixBits = 128;

    /// True when address (16 bytes, IPv4 as ::ffff:a.b.c.d) lies in the range.
    bool Contains(const std::array<std::uint8_t, 16>& address) const;
};

/// Reads "ADDR[/BITS]" for IPv4 or IPv6; nullopt when the text is no such range.
std::optional<TCidr> ParseCidr(std::string_view text);

/// Reads "CIDR[,CIDR...]"; nullopt, with the bad item in badItem, when one item is not a range.
std::optional<std::vector<TCidr>> ParseCidrList(std::string_view text, std::string& badItem);

/// Whom a server listens to and serves.
struct TServeLimits
{
    /// The address to listen on; empty = every address, IPv4 and IPv6 (one dual-stack socket).
    std::string BindAddress;
    /// Peers that are served; empty = everyone. Others are closed at accept, never served.
    std::vector<TCidr> Allow;
    /// Connections kept open at most; a silent or the longest idle one makes room for a newcomer.
    std::size_t MaxClients = DefaultMaxClients;
    /// Connections kept open per peer address at most (see QuotaKeyOf).
    std::size_t MaxPerAddress = DefaultMaxPerAddress;

    /// True when a peer at address (IPv4 as ::ffff:a.b.c.d) may be served.
    bool Allows(const std::array<std::uint8_t, 16>& address) const;
};

} // namespace statlume
