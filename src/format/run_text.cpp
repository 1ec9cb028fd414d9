#include "format/run_text.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
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

struct TRgb
{
    int R = 0;
    int G = 0;
    int B = 0;
};

TRgb Channels(std::uint32_t rgb)
{
    return {static_cast<int>((rgb >> 16) & 0xFF), static_cast<int>((rgb >> 8) & 0xFF),
            static_cast<int>(rgb & 0xFF)};
}

int DistanceSquared(TRgb a, TRgb b)
{
    return (a.R - b.R) * (a.R - b.R) + (a.G - b.G) * (a.G - b.G) + (a.B - b.B) * (a.B - b.B);
}

// xterm's defaults for the sixteen basic colours, the usual reference for "nearest".
constexpr std::array<TRgb, 16> BasicColours = {{{0, 0, 0},
                                                {205, 0, 0},
                                                {0, 205, 0},
                                                {205, 205, 0},
                                                {0, 0, 238},
                                                {205, 0, 205},
                                                {0, 205, 205},
                                                {229, 229, 229},
                                                {127, 127, 127},
                                                {255, 0, 0},
                                                {0, 255, 0},
                                                {255, 255, 0},
                                                {92, 92, 255},
                                                {255, 0, 255},
                                                {0, 255, 255},
                                                {255, 255, 255}}};

std::string BasicCode(TRgb colour)
{
    std::size_t best = 0;
    for (std::size_t i = 1; i < BasicColours.size(); ++i) {
        if (DistanceSquared(colour, BasicColours[i]) <
            DistanceSquared(colour, BasicColours[best])) {
            best = i;
        }
    }
    return std::to_string(best < 8 ? 30 + best : 90 + best - 8);
}

// The palette's 6x6x6 cube (16..231) and grey ramp (232..255), whichever lies nearer.
std::string PaletteCode(TRgb colour)
{
    constexpr std::array<int, 6> levels = {0, 95, 135, 175, 215, 255};
    const auto nearestLevel = [&levels](int value) {
        std::size_t best = 0;
        for (std::size_t i = 1; i < levels.size(); ++i) {
            if (std::abs(value - levels[i]) < std::abs(value - levels[best])) {
                best = i;
            }
        }
        return best;
    };
    const std::size_t r = nearestLevel(colour.R);
    const std::size_t g = nearestLevel(colour.G);
    const std::size_t b = nearestLevel(colour.B);
    const TRgb cube{levels[r], levels[g], levels[b]};
    const int average = (colour.R + colour.G + colour.B) / 3;
    const int step = std::clamp((average - 8 + 5) / 10, 0, 23);
    const int greyLevel = 8 + 10 * step;
    const TRgb grey{greyLevel, greyLevel, greyLevel};
    const std::size_t index = DistanceSquared(colour, grey) < DistanceSquared(colour, cube)
                                  ? 232 + static_cast<std::size_t>(step)
                                  : 16 + 36 * r + 6 * g + b;
    return "38;5;" + std::to_string(index);
}

std::string ToneCode(TRunTone tone, std::uint32_t rgb, TColourDepth depth)
{
    switch (tone) {
    case TRunTone::Plain:
        return {};
    case TRunTone::Custom:
        return "\x1b[" + ForegroundCode(rgb, depth) + 'm';
    case TRunTone::Warning:
        return "\x1b[33m";
    case TRunTone::Critical:
        return "\x1b[31m";
    }
    return {};
}

// The lowest block that reaches the value; nothing measured still shows the floor.
std::string_view GraphCell(float fraction)
{
    const double eighths = std::ceil(Clamped(fraction) * 8);
    const std::size_t level = eighths <= 1 ? 0 : static_cast<std::size_t>(eighths) - 1;
    return LowerEighths[std::min<std::size_t>(level, 7)];
}

// A graph whose cells each take the colour their value had, a code only where it changes.
std::string ColouredGraphText(const TRun& run, TColourDepth depth)
{
    const std::size_t shown = std::min(run.History.size(), run.Cells);
    std::string text(run.Cells - shown, ' ');
    std::string open;
    for (std::size_t i = run.History.size() - shown; i < run.History.size(); ++i) {
        std::string code = ToneCode(run.HistoryTones[i], run.Rgb, depth);
        if (code != open) {
            if (!open.empty())
                text += "\x1b[0m";
            text += code;
            open = std::move(code);
        }
        text += GraphCell(run.History[i]);
    }
    if (!open.empty())
        text += "\x1b[0m";
    return text;
}

} // namespace

std::string ForegroundCode(std::uint32_t rgb, TColourDepth depth)
{
    const TRgb colour = Channels(rgb);
    switch (depth) {
    case TColourDepth::None:
        return {};
    case TColourDepth::Basic:
        return BasicCode(colour);
    case TColourDepth::Palette256:
        return PaletteCode(colour);
    case TColourDepth::TrueColour:
        break;
    }
    return "38;2;" + std::to_string(colour.R) + ';' + std::to_string(colour.G) + ';' +
           std::to_string(colour.B);
}

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
    for (std::size_t i = history.size() - shown; i < history.size(); ++i)
        text += GraphCell(history[i]);
    return text;
}

std::string RunLineText(const TRunLine& line, const TRunTextStyle& style)
{
    std::string text;
    for (const TRun& run : line.Runs) {
        const bool coloured = style.Ansi && style.Depth != TColourDepth::None;
        if (coloured && run.Kind == TRunKind::Graph &&
            run.HistoryTones.size() == run.History.size()) {
            text += ColouredGraphText(run, style.Depth);
            continue;
        }
        const std::string code =
            coloured ? ToneCode(run.Tone, run.Rgb, style.Depth) : std::string();
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
