#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace statlume {

/// The character with a..z folded to A..Z; every other byte unchanged.
constexpr char AsciiUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

/// The text with a..z folded to A..Z.
inline std::string AsciiUpperCopy(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = AsciiUpper(c);
    return out;
}

/// The text with A..Z folded to a..z.
inline std::string AsciiLowerCopy(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return out;
}

/// Whether text at pos starts with upperKey, comparing ASCII letters without case; upperKey
/// must hold no a..z.
constexpr bool MatchesFoldedAt(std::string_view text, std::size_t pos, std::string_view upperKey)
{
    if (pos > text.size() || text.size() - pos < upperKey.size())
        return false;
    for (std::size_t i = 0; i < upperKey.size(); ++i) {
        if (AsciiUpper(text[pos + i]) != upperKey[i])
            return false;
    }
    return true;
}

/// Position of the first occurrence of upperKey in text at or after from, comparing ASCII
/// letters without case; npos when there is none. upperKey must hold no a..z.
constexpr std::size_t FindFolded(std::string_view text, std::string_view upperKey,
                                 std::size_t from = 0)
{
    if (upperKey.empty())
        return from <= text.size() ? from : std::string_view::npos;
    if (from > text.size() || text.size() - from < upperKey.size())
        return std::string_view::npos;
    const char first = upperKey.front();
    const bool firstIsLetter = first >= 'A' && first <= 'Z';
    const char firstLower = firstIsLetter ? static_cast<char>(first - 'A' + 'a') : first;
    const std::size_t last = text.size() - upperKey.size();
    for (std::size_t pos = from; pos <= last; ++pos) {
        if (!firstIsLetter) {
            // A plain byte search (memchr) skips most of a line at once.
            pos = text.find(first, pos);
            if (pos == std::string_view::npos || pos > last)
                return std::string_view::npos;
        } else if (text[pos] != first && text[pos] != firstLower) {
            continue;
        }
        if (MatchesFoldedAt(text, pos + 1, upperKey.substr(1)))
            return pos;
    }
    return std::string_view::npos;
}

/// The text without its leading and trailing blanks and control characters (codes 0 to 32).
constexpr std::string_view TrimBlanks(std::string_view text)
{
    const auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

/// Whether two texts are equal when ASCII letters are compared without case.
constexpr bool EqualsFolded(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiUpper(a[i]) != AsciiUpper(b[i]))
            return false;
    }
    return true;
}

} // namespace statlume
