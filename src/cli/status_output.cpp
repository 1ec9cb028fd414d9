#include "cli/status_output.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "format/run_text.h"

#include <nlohmann/json.hpp>

namespace statlume {

namespace {

// JSON leaves DEL as it is; a status bar may still show it to a terminal.
std::string EscapeDelete(std::string text)
{
    if (text.find('\x7f') == std::string::npos)
        return text;
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == '\x7f')
            out += "\\u007f";
        else
            out += c;
    }
    return out;
}

// C1 controls in UTF-8 (U+0080..U+009F) are 0xC2 followed by 0x80..0x9F.
std::string WithoutC1(std::string_view text)
{
    if (text.find('\xc2') == std::string_view::npos)
        return std::string(text);
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        if (static_cast<unsigned char>(text[i]) == 0xC2 && next >= 0x80 && next <= 0x9F) {
            out += '?';
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

// One JSON string through the library; bytes that are no UTF-8 (a peer's names) become
// U+FFFD instead of ending the run.
std::string JsonString(std::string text)
{
    const nlohmann::json value(std::move(text));
    return EscapeDelete(value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

// The class member: "" with nothing to say, a string for one class, an array for two.
std::string ClassValue(bool alert, TRunTone tone)
{
    const char* level = tone == TRunTone::Critical  ? "critical"
                        : tone == TRunTone::Warning ? "warning"
                                                    : nullptr;
    if (level == nullptr)
        return alert ? "\"alert\"" : "\"\"";
    if (!alert)
        return std::string("\"") + level + '"';
    return std::string("[\"alert\",\"") + level + "\"]";
}

std::string JsonUpdate(const std::vector<std::string>& lines, const std::string& classValue,
                       std::optional<long> percentage)
{
    // A value may hold a line break of its own: the text ends with the first template line.
    const std::string first = lines.empty() ? std::string() : WithoutC1(lines[0]);
    std::string tooltip = first;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        tooltip += '\n';
        tooltip += WithoutC1(lines[i]);
    }
    // The keys are fixed; only the two texts need the library's escaping, and building them
    // as plain string values instead of an object keeps a status-bar update cheap.
    std::string text;
    text.reserve(tooltip.size() * 2 + 64);
    text += "{\"text\":";
    text += JsonString(first);
    text += ",\"tooltip\":";
    text += JsonString(std::move(tooltip));
    text += ",\"class\":";
    text += classValue;
    if (percentage) {
        text += ",\"percentage\":";
        text += std::to_string(*percentage);
    }
    text += "}\n";
    return text;
}

std::optional<long> FirstPercentage(const std::vector<TRunLine>& lines)
{
    if (lines.empty())
        return std::nullopt;
    for (const TRun& run : lines.front().Runs) {
        if (run.Fraction >= 0)
            return std::lround(std::min(run.Fraction, 1.0) * 100);
    }
    return std::nullopt;
}

TRunTone HighestTone(const std::vector<TRunLine>& lines)
{
    TRunTone highest = TRunTone::Plain;
    for (const TRunLine& line : lines) {
        for (const TRun& run : line.Runs) {
            if (run.Tone == TRunTone::Critical)
                return run.Tone;
            if (run.Tone == TRunTone::Warning)
                highest = run.Tone;
        }
    }
    return highest;
}

} // namespace

std::string FormatUpdate(const TOutputFormat& format, const std::vector<TRunLine>& lines,
                         bool alert)
{
    const TRunTextStyle style{format.Colour && format.Style == TOutputStyle::Lines, format.Depth};
    std::vector<std::string> texts;
    texts.reserve(lines.size());
    for (const TRunLine& line : lines)
        texts.push_back(RunLineText(line, style));
    if (format.Style != TOutputStyle::Json)
        return FormatUpdate(format, texts, alert);
    return JsonUpdate(texts, ClassValue(alert, HighestTone(lines)), FirstPercentage(lines));
}

std::string NoRecordUpdate(const TOutputFormat& format, std::string_view reason)
{
    if (format.Style != TOutputStyle::Json)
        return {};
    return "{\"text\":\"\",\"tooltip\":" + JsonString(WithoutC1(reason)) +
           ",\"class\":\"alert\"}\n";
}

TColourDepth TerminalColours(bool outIsTerminal, const char* noColour, const char* term,
                             const char* colourTerm)
{
    const std::string_view termName = term != nullptr ? term : "";
    if (!outIsTerminal || noColour != nullptr || termName.empty() || termName == "dumb")
        return TColourDepth::None;
    const std::string_view colourTermName = colourTerm != nullptr ? colourTerm : "";
    if (colourTermName == "truecolor" || colourTermName == "24bit" || termName.ends_with("-direct"))
        return TColourDepth::TrueColour;
    if (termName.find("256color") != std::string_view::npos)
        return TColourDepth::Palette256;
    return TColourDepth::Basic;
}

std::string FormatUpdate(const TOutputFormat& format, const std::vector<std::string>& lines,
                         bool alert)
{
    // The lines go out as rendered: names from outside are made printable by their items, and
    // a colour code the user put into the template is theirs to keep.
    std::string text;
    switch (format.Style) {
    case TOutputStyle::Lines:
        for (const std::string& line : lines) {
            text += line;
            text += '\n';
        }
        text += '\n';
        return text;
    case TOutputStyle::OneLine:
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (i > 0)
                text += format.Separator;
            text += lines[i];
        }
        text += '\n';
        return text;
    case TOutputStyle::Json:
        break;
    }
    return JsonUpdate(lines, alert ? "\"alert\"" : "\"\"", std::nullopt);
}

} // namespace statlume
