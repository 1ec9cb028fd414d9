#pragma once

#include <cstddef>
#include <string_view>

namespace statlume::platform {

/// A space or a tab: what separates the fields of kernel and settings text.
inline bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

/// Calls visit with every line of text, without its newline; a last line without a newline
/// is visited too.
template <typename TVisit> void ForEachLine(std::string_view text, TVisit&& visit)
{
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        visit(text.substr(pos, end - pos));
        pos = end + 1;
    }
}

/// Splits one line at blanks and calls visit with each field.
template <typename TVisit> void ForEachField(std::string_view line, TVisit&& visit)
{
    std::size_t pos = 0;
    while (pos < line.size()) {
        while (pos < line.size() && IsBlank(line[pos]))
            ++pos;
        std::size_t end = pos;
        while (end < line.size() && !IsBlank(line[end]))
            ++end;
        if (end > pos)
            visit(line.substr(pos, end - pos));
        pos = end;
    }
}

} // namespace statlume::platform
