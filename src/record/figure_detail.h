#pragma once

// Which processor and network figures beyond the record a template shows, so collection can
// read them only then without knowing the formatters that ask.
#include <string>
#include <vector>

namespace statlume {

/// The cores beyond the record's four and the interfaces by name a template shows.
struct TFigureDetail
{
    /// A processor item shows a core past the fourth.
    bool CoresBeyondFour = false;
    /// The FORMAT texts of the network items that may name an interface, each once.
    std::vector<std::string> InterfaceNames;

    bool operator==(const TFigureDetail&) const = default;
};

} // namespace statlume
