#include "cli/status_output.h"

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

} // namespace

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
    // A value may hold a line break of its own: the text ends with the first template line.
    const std::string first = lines.empty() ? std::string() : WithoutC1(lines[0]);
    std::string tooltip = first;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        tooltip += '\n';
        tooltip += WithoutC1(lines[i]);
    }
    // The keys are fixed; only the two texts need the library's escaping, and building them
    // as plain string values instead of an object keeps a status-bar update cheap.
    text.reserve(tooltip.size() * 2 + 48);
    text += "{\"text\":";
    text += JsonString(first);
    text += ",\"tooltip\":";
    text += JsonString(std::move(tooltip));
    text += alert ? ",\"class\":\"alert\"}\n" : ",\"class\":\"\"}\n";
    return text;
}

} // namespace statlume
