#include "format/run_text.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

namespace statlume {

namespace {

// U+2588 FULL BLOCK down to U+258F LEFT ONE EIGHTH BLOCK: index = eighths filled.
constexpr std::array<std::string_view, 9> LeftEighths = {
    "", "\u258f", "\u258e", "\u258d", "\u258c", "\u258b", "\u258a", "\u2589", "\u2588"};
// U+2581 LOWER ONE EIGHTH BLOCK up to U+2588.
constexpr std::array<std::string_view, 8> LowerEighths = {"\u2581", "\u2582", "\u2583", "\u2584",
                                                          "\u2585", "\u2586", "\u2587", "\u2588"};
constexpr std::string_view EmptyCell = "\u2591";

double Clamped(double fraction)
{
    return std::isfinite(fraction) ? std::clamp(fraction, 0.0, 1.0) : 0.0;
}

std::string ToneCode(const TRun& run)
{
    switch (run.Tone) {
    case TRunTone::Plain:
        return {};
    case TRunTone::Custom:
        return "\x1b[38;2;" + std::to_string((run.Rgb >> 16) & 0xFF) + ';' +
               std::to_string((run.Rgb >> 8) & 0xFF) + ';' + std::to_string(run.Rgb & 0xFF) + 'm';
    case TRunTone::Warning:
        return "\x1b[33m";
    case TRunTone::Critical:
        return "\x1b[31m";
    }
    return {};
}

} // namespace

std::string BarText(double fraction, std::size_t cells)
{
    const auto eighths = static_cast<std::size_t>(std::lround(Clamped(fraction) * cells * 8));
    std::string text;
    text.reserve(cells * 3);
    for (std::size_t cell = 0; cell < cells; ++cell) {
        const std::size_t filled =
            cell * 8 >= eighths ? 0 : std::min<std::size_t>(8, eighths - cell * 8);
        text += filled == 0 ? EmptyCell : LeftEighths[filled];
    }
    return text;
}

std::string GraphText(const std::vector<float>& history, std::size_t cells)
{
    std::string text;
    text.reserve(cells * 3);
    const std::size_t shown = std::min(history.size(), cells);
    text.append(cells - shown, ' ');
    for (std::size_t i = history.size() - shown; i < history.size(); ++i) {
        // The lowest block that reaches the value; nothing measured still shows the floor.
        const double eighths = std::ceil(Clamped(history[i]) * 8);
        const std::size_t level = eighths <= 1 ? 0 : static_cast<std::size_t>(eighths) - 1;
        text += LowerEighths[std::min<std::size_t>(level, 7)];
    }
    return text;
}

std::string RunLineText(const TRunLine& line, const TRunTextStyle& style)
{
    std::string text;
    for (const TRun& run : line.Runs) {
        const std::string code = style.Ansi ? ToneCode(run) : std::string();
        text += code;
        switch (run.Kind) {
        case TRunKind::Text:
            text += run.Text;
            break;
        case TRunKind::Bar:
            text += BarText(run.Fraction, run.Cells);
            break;
        case TRunKind::Graph:
            text += GraphText(run.History, run.Cells);
            break;
        }
        if (!code.empty())
            text += "\x1b[0m";
    }
    return text;
}

} // namespace statlume
