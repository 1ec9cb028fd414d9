#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace statlume {

/// One example template file.
struct TExample
{
    /// The name shown: the file name without ".txt", "-" and "_" as blanks, control
    /// characters as "?".
    std::string Name;
    std::filesystem::path Path;
};

/// Most examples listed, and most folder entries looked at in each folder.
inline constexpr std::size_t MaxExamples = 100;
inline constexpr std::size_t MaxFolderEntries = 1000;

/// The "*.txt" regular files (or links to one) in the folders, sorted by name; of two files
/// with the same name the one in the earlier folder is kept. A missing or unreadable folder
/// adds nothing.
std::vector<TExample> ListExamples(const std::vector<std::filesystem::path>& folders);

/// The example's text; nothing, with a sentence for the user in message, when the file
/// cannot be read, is not a regular file or holds more than a template may (never waits on
/// a FIFO).
std::optional<std::string> ReadExample(const TExample& example, std::string& message);

} // namespace statlume
