#include "remote/serve_limits.h"

#include <algorithm>

#include <arpa/inet.h>

namespace statlume {

namespace {

constexpr int IPv4MappedPrefixBits = 96;

std::optional<int> ParsePrefixBits(std::string_view text, int maxBits)
{
    if (text.empty() || text.size() > 3 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    int bits = 0;
    for (const char c : text)
        bits = bits * 10 + (c - '0');
    if (bits > maxBits)
        return std::nullopt;
    return bits;
}

} // namespace

bool TCidr::Contains(const std::array<std::uint8_t, 16>& address) const
{
    const int fullBytes = PrefixBits / 8;
    if (!std::equal(Address.begin(), Address.begin() + fullBytes, address.begin()))
        return false;
    const int restBits = PrefixBits % 8;
    if (restBits == 0)
        return true;
    const auto mask = static_cast<std::uint8_t>(0xFF << (8 - restBits));
    return (Address[fullBytes] & mask) == (address[fullBytes] & mask);
}

std::optional<TCidr> ParseCidr(std::string_view text)
{
    const std::size_t slash = text.find('/');
    std::string host(text.substr(0, slash));
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);

    TCidr cidr;
    bool isV4 = false;
    std::array<std::uint8_t, 4> v4{};
    if (inet_pton(AF_INET, host.c_str(), v4.data()) == 1) {
        isV4 = true;
        cidr.Address[10] = 0xFF;
        cidr.Address[11] = 0xFF;
        std::copy(v4.begin(), v4.end(), cidr.Address.begin() + 12);
    } else if (inet_pton(AF_INET6, host.c_str(), cidr.Address.data()) != 1) {
        return std::nullopt;
    }

    const int maxBits = isV4 ? 32 : 128;
    int bits = maxBits;
    if (slash != std::string_view::npos) {
        const auto parsed = ParsePrefixBits(text.substr(slash + 1), maxBits);
        if (!parsed)
            return std::nullopt;
        bits = *parsed;
    }
    cidr.PrefixBits = isV4 ? bits + IPv4MappedPrefixBits : bits;
    return cidr;
}

std::optional<std::vector<TCidr>> ParseCidrList(std::string_view text, std::string& badItem)
{
    std::vector<TCidr> list;
    while (true) {
        const std::size_t comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        const auto cidr = ParseCidr(item);
        if (!cidr) {
            badItem = std::string(item);
            return std::nullopt;
        }
        list.push_back(*cidr);
        if (comma == std::string_view::npos)
            return list;
        text.remove_prefix(comma + 1);
    }
}

bool TServeLimits::Allows(const std::array<std::uint8_t, 16>& address) const
{
    return Allow.empty() || std::any_of(Allow.begin(), Allow.end(),
                                        [&address](const TCidr& c) { return c.Contains(address); });
}

} // namespace statlume
