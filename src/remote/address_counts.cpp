#include "remote/address_counts.h"

#include <algorithm>

namespace statlume {

namespace {

bool IsMappedIPv4(const TPeerAddress& address)
{
    return std::all_of(address.begin(), address.begin() + 10,
                       [](std::uint8_t b) { return b == 0; }) &&
           address[10] == 0xFF && address[11] == 0xFF;
}

} // namespace

TPeerAddress QuotaKeyOf(const TPeerAddress& address)
{
    if (IsMappedIPv4(address))
        return address;
    TPeerAddress network{};
    std::copy_n(address.begin(), 8, network.begin());
    return network;
}

void TAddressCounts::Add(const TPeerAddress& key)
{
    ++Counts[key];
    ++AllCount;
}

void TAddressCounts::Remove(const TPeerAddress& key)
{
    const auto found = Counts.find(key);
    if (found == Counts.end())
        return;
    --AllCount;
    if (--found->second == 0)
        Counts.erase(found);
}

std::size_t TAddressCounts::Count(const TPeerAddress& key) const
{
    const auto found = Counts.find(key);
    return found == Counts.end() ? 0 : found->second;
}

std::optional<TPeerAddress>
TAddressCounts::MustYield(const TPeerAddress& key, std::size_t perAddress, std::size_t total) const
{
    if (Count(key) >= std::max<std::size_t>(perAddress, 1))
        return key;
    if (AllCount >= std::max<std::size_t>(total, 1))
        return Busiest(key);
    return std::nullopt;
}

std::optional<TPeerAddress>
TAddressCounts::Busiest(const std::optional<TPeerAddress>& preferred) const
{
    if (Counts.empty())
        return std::nullopt;
    auto busiest =
        std::max_element(Counts.begin(), Counts.end(), [](const auto& left, const auto& right) {
            return left.second < right.second;
        });
    if (preferred && Count(*preferred) == busiest->second)
        return *preferred;
    return busiest->first;
}

} // namespace statlume
