#include "platform/linux/drm_cards.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/linux/small_file.h"

namespace statlume::platform {

namespace {

constexpr std::size_t CardLimit = 64;

bool IsCardName(std::string_view name)
{
    if (!name.starts_with("card") || name.size() == 4 || name.size() > 8)
        return false;
    return std::all_of(name.begin() + 4, name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Where a relative link in folder leads; otherwise the link's own path, which the kernel
// then follows.
std::string Resolved(const std::filesystem::path& folder, const std::optional<std::string>& target,
                     const std::string& link)
{
    if (!target || target->empty() || target->front() == '/')
        return link;
    return (folder / *target).lexically_normal().string();
}

} // namespace

bool IsPciAddress(std::string_view text)
{
    static constexpr std::string_view shape = "xxxx:xx:xx.x";
    if (text.size() != shape.size())
        return false;
    for (std::size_t i = 0; i < shape.size(); ++i) {
        const char c = text[i];
        const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
        if (shape[i] == 'x' ? !hex : c != shape[i])
            return false;
    }
    return true;
}

std::vector<TDrmCard> ListDrmCards(const std::string& sysfsRoot)
{
    std::vector<TDrmCard> cards;
    std::error_code error;
    std::size_t seen = 0;
    for (std::filesystem::directory_iterator entry(sysfsRoot + "/class/drm", error), end;
         !error && entry != end && ++seen <= CardLimit * 8; entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        if (!IsCardName(name))
            continue;
        const std::string link = entry->path().string();
        const auto address = ReadLinkName(link + "/device");
        if (!address || !IsPciAddress(*address))
            continue;
        const std::string folder =
            Resolved(entry->path().parent_path(), ReadLinkTarget(link), link);
        const std::string device =
            Resolved(folder, ReadLinkTarget(folder + "/device"), folder + "/device");
        cards.push_back(TDrmCard{name, *address, ReadLinkName(device + "/driver").value_or(""),
                                 folder, device});
        if (cards.size() >= CardLimit)
            break;
    }
    // Canonical addresses of one width sort as their numbers do.
    std::sort(cards.begin(), cards.end(), [](const TDrmCard& a, const TDrmCard& b) {
        return a.PciAddress != b.PciAddress ? a.PciAddress < b.PciAddress : a.Card < b.Card;
    });
    return cards;
}

std::string_view DriverVendor(std::string_view driver)
{
    if (driver == "amdgpu" || driver == "radeon")
        return "AMD";
    if (driver == "i915" || driver == "xe")
        return "Intel";
    if (driver == "nvidia" || driver == "nouveau")
        return "NVIDIA";
    return {};
}

} // namespace statlume::platform
