#pragma once

// Which processor, network and GPU figures beyond the record a template shows, so collection
// can read them only then without knowing the formatters that ask.
#include <cstddef>
#include <string>
#include <vector>

namespace statlume {

/// The cores beyond the record's four, the interfaces by name and the GPUs a template shows.
struct TFigureDetail
{
    /// A processor item shows a core past the fourth.
    bool CoresBeyondFour = false;
    /// The FORMAT texts of the network items that may name an interface, each once.
    std::vector<std::string> InterfaceNames;
    /// The places (1 = first) of the GPUs the GPU items show, each once.
    std::vector<std::size_t> GpuPlaces;

    bool operator==(const TFigureDetail&) const = default;
};

} // namespace statlume
