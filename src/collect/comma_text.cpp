#include "collect/comma_text.h"

namespace statlume {

namespace {

bool IsBlank(char c)
{
    const auto code = static_cast<unsigned char>(c);
    return code >= 1 && code <= 32;
}

void SkipBlanks(std::string_view text, std::size_t& pos)
{
    while (pos < text.size() && IsBlank(text[pos]))
        ++pos;
}

// Reads a quoted entry starting at the opening quote; an unclosed quote runs to the end.
std::string ReadQuoted(std::string_view text, std::size_t& pos)
{
    std::string entry;
    ++pos;
    while (pos < text.size()) {
        if (text[pos] == '"') {
            if (pos + 1 < text.size() && text[pos + 1] == '"') {
                entry.push_back('"');
                pos += 2;
                continue;
            }
            ++pos;
            return entry;
        }
        entry.push_back(text[pos++]);
    }
    return entry;
}

std::string ReadPlain(std::string_view text, std::size_t& pos)
{
    const std::size_t start = pos;
    while (pos < text.size() && text[pos] != ',' && !IsBlank(text[pos]) && text[pos] != '\0')
        ++pos;
    return std::string(text.substr(start, pos - start));
}

} // namespace

std::vector<std::string> SplitCommaText(std::string_view text)
{
    std::vector<std::string> entries;
    std::size_t pos = 0;
    SkipBlanks(text, pos);
    while (pos < text.size()) {
        entries.push_back(text[pos] == '"' ? ReadQuoted(text, pos) : ReadPlain(text, pos));
        SkipBlanks(text, pos);
        if (pos < text.size() && text[pos] == ',') {
            ++pos;
            if (pos == text.size()) {
                entries.emplace_back();
                break;
            }
            SkipBlanks(text, pos);
        } else if (pos < text.size() && text[pos] == '\0') {
            ++pos;
        }
    }
    return entries;
}

} // namespace statlume
