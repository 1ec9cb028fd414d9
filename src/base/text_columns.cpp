#include "base/text_columns.h"

#include <algorithm>

namespace statlume {

std::vector<std::string> WrappedLines(std::string_view text, std::size_t width)
{
    std::vector<std::string> lines;
    while (text.size() > width) {
        std::size_t cut = text.rfind(' ', width);
        if (cut == std::string_view::npos || cut == 0) {
            cut = text.find(' ', width);
            if (cut == std::string_view::npos) {
                break;
            }
        }
        std::string_view line = text.substr(0, cut);
        line.remove_suffix(line.size() - (line.find_last_not_of(' ') + 1));
        lines.emplace_back(line);
        text.remove_prefix(std::min(text.find_first_not_of(' ', cut), text.size()));
    }
    if (!text.empty() || lines.empty()) {
        lines.emplace_back(text);
    }
    return lines;
}

std::string ColumnsText(const std::vector<std::vector<std::string>>& rows,
                        std::span<const std::size_t> widths)
{
    std::string out;
    for (const std::vector<std::string>& row : rows) {
        const std::size_t columns = std::min(row.size(), widths.size());
        std::vector<std::vector<std::string>> cells;
        std::size_t height = 0;
        for (std::size_t i = 0; i < columns; ++i) {
            const bool last = i + 1 == widths.size();
            cells.push_back(WrappedLines(row[i], last ? widths[i] : widths[i] - 1));
            height = std::max(height, cells.back().size());
        }
        for (std::size_t line = 0; line < height; ++line) {
            std::string text;
            std::size_t start = 0;
            for (std::size_t i = 0; i < columns; ++i) {
                if (line < cells[i].size() && !cells[i][line].empty()) {
                    // A word longer than its column pushes the rest of the line right.
                    const std::size_t gap = text.empty() ? 0 : 1;
                    text.append(std::max(start, text.size() + gap) - text.size(), ' ');
                    text += cells[i][line];
                }
                start += widths[i];
            }
            out += text + '\n';
        }
    }
    return out;
}

} // namespace statlume
