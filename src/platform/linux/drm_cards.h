// The graphics cards of /sys/class/drm, in PCI address order.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace statlume::platform {

/// One card* entry of the DRM class and the PCI device behind it, found from links only, so
/// listing cards opens none of their files.
struct TDrmCard
{
    /// "card0".
    std::string Card;
    /// "0000:01:00.0", lower case as sysfs writes it.
    std::string PciAddress;
    /// The bound driver's name ("amdgpu", "i915", "xe", "nvidia"); empty when none is bound.
    std::string Driver;
    /// The card's folder and its PCI device's, with the links resolved (by their text, so no
    /// file is opened), as a path with links costs a lookup per link on every open.
    std::string Folder;
    std::string Device;
};

/// True for a canonical PCI address "dddd:bb:ss.f" (hex digits), the only shape accepted
/// from a link, so no name from the tree can climb out of it.
bool IsPciAddress(std::string_view text);

/// The card* entries of sysfsRoot + "/class/drm" whose device link leads to a PCI device,
/// sorted by PCI address; connectors ("card0-DP-1") and render nodes are not cards.
std::vector<TDrmCard> ListDrmCards(const std::string& sysfsRoot = "/sys");

/// The vendor a driver belongs to ("AMD", "Intel", "NVIDIA"), from its name alone, so no
/// file of a sleeping card is opened to tell; empty for another driver.
std::string_view DriverVendor(std::string_view driver);

} // namespace statlume::platform
