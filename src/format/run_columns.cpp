#include "format/run_columns.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace statlume {

std::size_t CharacterCount(std::string_view text)
{
    // Continuation bytes (10xxxxxx) do not start a character.
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

std::vector<int> RunStarts(const TRunLine& line, std::span<const int> widths, int cell)
{
    // Far past any screen, and no overflow when widths are added to it.
    constexpr std::int64_t farthest = INT_MAX / 4;
    std::vector<int> starts;
    const std::size_t count = std::min(line.Runs.size(), widths.size());
    starts.reserve(count);
    std::int64_t column = 0;
    int end = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const TRun& run = line.Runs[i];
        const bool drawing = run.Kind != TRunKind::Text;
        const int start =
            drawing ? std::max<int>(end, static_cast<int>(std::min(column * cell, farthest))) : end;
        starts.push_back(start);
        end = start + widths[i];
        column += static_cast<std::int64_t>(drawing ? run.Cells : CharacterCount(run.Text));
    }
    return starts;
}

} // namespace statlume
