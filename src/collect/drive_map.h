#pragma once

#include <map>
#include <string>
#include <string_view>

namespace statlume {

/// Drive letter (upper case A..Z) to the mount point whose space it shows.
using TDriveMap = std::map<char, std::string>;

/// The "DriveMap" setting's value when none is stored.
inline constexpr std::string_view DefaultDriveMapText = "C=/";

/// Reads text such as "C=/;D=/home": entries separated by ";", each a letter (either case),
/// "=" and a path kept as written (blanks around the entry aside). Entries without a single
/// letter A..Z or with an empty path are skipped; a letter given twice keeps the last path.
TDriveMap ParseDriveMap(std::string_view text);

/// The mount point of a drive letter (either case); empty text when the letter is not mapped.
std::string MountPointOf(const TDriveMap& map, char letter);

/// The letters the map names, in order.
std::string LettersOf(const TDriveMap& map);

/// The map as the "DriveMap" setting holds it ("C=/;D=/home"), letters in order; a path that
/// text cannot hold so that it reads back the same (a ";", blanks at either end) is left out.
std::string DriveMapText(const TDriveMap& map);

} // namespace statlume
