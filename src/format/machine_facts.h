#pragma once

// What the template check needs to know of the machine to tell that an item shows nothing
// here. Each fact is absent when it is not known (a client, a family not collected): a check
// that needs it then stays silent.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "record/figures_beyond.h"

namespace statlume {

struct TMachineFacts
{
    std::optional<std::size_t> ProcessorCount;
    std::optional<std::size_t> GpuCount;
    /// Network interfaces' kernel names.
    std::optional<std::vector<std::string>> Interfaces;
    /// Batteries' kernel names ("BAT0").
    std::optional<std::vector<std::string>> Batteries;
    /// Block devices' kernel names.
    std::optional<std::vector<std::string>> Disks;
    /// The upper-case letters the drive map names.
    std::optional<std::string> DriveLetters;
};

/// The facts a snapshot after a local collection holds: the lists of the families it
/// collected. An empty list may be a family not collected, so it tells nothing; the
/// interfaces are those a template named only, so they tell nothing either.
TMachineFacts FactsOfSnapshot(const TFiguresBeyond& beyond);

} // namespace statlume
