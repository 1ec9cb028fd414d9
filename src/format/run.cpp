#include "format/run.h"

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

} // namespace statlume
