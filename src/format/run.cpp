#include "format/run.h"

#include <algorithm>

namespace statlume {

std::string PlainText(const TRunLine& line)
{
    std::string text;
    for (const TRun& run : line.Runs)
        text += run.Text;
    return text;
}

std::string TextWithoutDrawings(const TRunLine& line)
{
    std::string text;
    for (const TRun& run : line.Runs) {
        if (run.Kind == TRunKind::Text)
            text += run.Text;
    }
    return text;
}

std::size_t LinesOf(const TRunLine& line)
{
    std::size_t lines = 1;
    for (const TRun& run : line.Runs) {
        if (run.Kind != TRunKind::Text)
            lines = std::max(lines, run.Lines);
    }
    return lines;
}

} // namespace statlume
