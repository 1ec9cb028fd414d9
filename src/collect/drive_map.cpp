#include "collect/drive_map.h"

#include "base/ascii_case.h"

namespace statlume {

TDriveMap ParseDriveMap(std::string_view text)
{
    TDriveMap map;
    while (!text.empty()) {
        const std::size_t end = text.find(';');
        const std::string_view entry = TrimBlanks(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);

        const std::size_t equals = entry.find('=');
        if (equals == std::string_view::npos)
            continue;
        const std::string_view letter = TrimBlanks(entry.substr(0, equals));
        const std::string_view path = TrimBlanks(entry.substr(equals + 1));
        if (letter.size() != 1 || path.empty())
            continue;
        const char upper = AsciiUpper(letter.front());
        if (upper < 'A' || upper > 'Z')
            continue;
        map[upper] = std::string(path);
    }
    return map;
}

std::string MountPointOf(const TDriveMap& map, char letter)
{
    const auto it = map.find(AsciiUpper(letter));
    return it == map.end() ? std::string{} : it->second;
}

std::string LettersOf(const TDriveMap& map)
{
    std::string letters;
    for (const auto& [letter, mountPoint] : map)
        letters += letter;
    return letters;
}

std::string DriveMapText(const TDriveMap& map)
{
    std::string text;
    for (const auto& [letter, path] : map) {
        if (path.empty() || path.find(';') != std::string::npos || TrimBlanks(path) != path)
            continue;
        if (!text.empty())
            text += ';';
        text += letter;
        text += '=';
        text += path;
    }
    return text;
}

} // namespace statlume
