#include "display/drawing_tip.h"

#include <cmath>
#include <cstdio>

namespace statlume {

namespace {

std::string ScaleText(double scale)
{
    // Tenths only where they matter, so a small peak does not read as 0.
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", scale < 10 ? 1 : 0, scale);
    return text;
}

} // namespace

std::string DrawingScaleTip(const TRunLine& line)
{
    std::string tip;
    for (const TRun& run : line.Runs) {
        if (run.Kind == TRunKind::Text || !std::isfinite(run.Scale) || !(run.Scale > 0) ||
            run.Scale == 100)
            continue;
        if (!tip.empty())
            tip += '\n';
        tip += run.Kind == TRunKind::Graph ? "Graph scale: 0 to " : "Bar scale: 0 to ";
        tip += ScaleText(run.Scale);
    }
    return tip;
}

} // namespace statlume
