#include "format/tag_language.h"

#include <cstdint>
#include <limits>

#include "base/ascii_case.h"
#include "base/utf8_bytes.h"

namespace statlume {

namespace {

constexpr std::string_view TagOpening = "<NAME=";

// Length of the UTF-8 character at pos; a malformed or cut sequence counts as one byte.
std::size_t Utf8CharLength(std::string_view text, std::size_t pos)
{
    const auto lead = static_cast<unsigned char>(text[pos]);
    std::size_t length = 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4;
    if (text.size() - pos < length)
        return 1;
    for (std::size_t i = 1; i < length; ++i) {
        if (!IsContinuationByte(text[pos + i]))
            return 1;
    }
    return length;
}

// The unbroken run of digits at pos read as a 32-bit signed number; 0 when empty or too big.
std::size_t ReadWidth(std::string_view tag, std::size_t pos)
{
    constexpr std::int64_t Max = std::numeric_limits<std::int32_t>::max();
    std::int64_t value = 0;
    bool overflow = false;
    for (; pos < tag.size() && tag[pos] >= '0' && tag[pos] <= '9'; ++pos) {
        if (!overflow) {
            value = value * 10 + (tag[pos] - '0');
            overflow = value > Max;
        }
    }
    if (overflow)
        return 0;
    return value > static_cast<std::int64_t>(MaxTagWidth) ? MaxTagWidth
                                                          : static_cast<std::size_t>(value);
}

} // namespace

std::size_t FindTagStart(std::string_view text, std::string_view upperTagName, std::size_t from)
{
    for (;;) {
        const std::size_t pos = FindFolded(text, TagOpening, from);
        if (pos == std::string_view::npos)
            return pos;
        if (MatchesFoldedAt(text, pos + TagOpening.size(), upperTagName))
            return pos;
        from = pos + 1;
    }
}

TTagOptions ReadTagOptions(std::string_view tag)
{
    TTagOptions options;
    constexpr std::string_view FormatKey = "FORMAT=\"";
    if (const std::size_t pos = FindFolded(tag, FormatKey); pos != std::string_view::npos) {
        const std::size_t start = pos + FormatKey.size();
        const std::size_t end = tag.find('"', start);
        // Without a closing quote the text runs to the end of the tag, its ">" included.
        options.Format = tag.substr(start, end == std::string_view::npos ? tag.npos : end - start);
    }
    options.LeadZero = FindFolded(tag, "LEADZERO") != std::string_view::npos;
    options.Decimal = FindFolded(tag, "DECIMAL") != std::string_view::npos;

    constexpr std::string_view SizeKey = "SIZE=";
    const std::size_t sizePos = FindFolded(tag, SizeKey);
    if (sizePos == std::string_view::npos)
        return options;
    options.HasSize = true;
    options.Width = ReadWidth(tag, sizePos + SizeKey.size());

    constexpr std::string_view CharKey = "CHAR=";
    const std::size_t charPos = FindFolded(tag, CharKey);
    if (charPos != std::string_view::npos && charPos + CharKey.size() < tag.size()) {
        const std::size_t at = charPos + CharKey.size();
        options.PadChar = tag.substr(at, Utf8CharLength(tag, at));
    }
    return options;
}

std::size_t Utf8Length(std::string_view text)
{
    // Stepping by whole characters counts a stray continuation byte (a Latin-1 "º" in a
    // name, say) as one, as the padding character itself is read.
    std::size_t count = 0;
    for (std::size_t pos = 0; pos < text.size(); pos += Utf8CharLength(text, pos))
        ++count;
    return count;
}

void PadValue(std::string& value, const TTagOptions& options, bool padBefore)
{
    if (!options.HasSize)
        return;
    const std::size_t length = Utf8Length(value);
    if (options.Width <= length)
        return;
    const std::size_t count = options.Width - length;
    std::string padding;
    padding.reserve(count * options.PadChar.size());
    for (std::size_t i = 0; i < count; ++i)
        padding += options.PadChar;
    if (padBefore)
        value.insert(0, padding);
    else
        value += padding;
}

void TFormatter::ReplaceTagsInPlace(std::string& text, TTagObserver* observer)
{
    if (!Active)
        return;
    for (const auto& [displayName, item] : Items) {
        std::size_t from = 0;
        for (;;) {
            const std::size_t start = FindTagStart(text, item.TagName, from);
            if (start == std::string::npos)
                break;
            const std::size_t close = text.find('>', start);
            // An unclosed tag stays as written, and so does everything after it.
            if (close == std::string::npos)
                break;
            const std::size_t tagLength = close + 1 - start;
            const TTagOptions options =
                ReadTagOptions(std::string_view(text).substr(start, tagLength));
            std::string value;
            if (item.Func)
                value = item.Func(options.Format, options.LeadZero, options.Decimal);
            PadValue(value, options, Alignment == 1);
            if (observer != nullptr)
                observer->OnTagReplaced(*this, item,
                                        std::string_view(text).substr(start, tagLength), start,
                                        value.size());
            text.replace(start, tagLength, value);
            // Resume after the value, so a value that itself holds a tag opening cannot
            // make the scan run forever.
            from = start + value.size();
        }
    }
}

std::string TFormatter::ReplaceTags(std::string_view line)
{
    std::string text(line);
    ReplaceTagsInPlace(text);
    return text;
}

std::vector<std::string> SplitTemplateLines(std::string_view templateText)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t pos = 0; pos < templateText.size(); ++pos) {
        const char c = templateText[pos];
        if (c != '\r' && c != '\n')
            continue;
        lines.emplace_back(templateText.substr(start, pos - start));
        if (c == '\r' && pos + 1 < templateText.size() && templateText[pos + 1] == '\n')
            ++pos;
        start = pos + 1;
    }
    if (start < templateText.size())
        lines.emplace_back(templateText.substr(start));
    return lines;
}

std::string RenderLine(const TFormatterList& formatters, std::string_view templateLine,
                       TTagObserver* observer)
{
    std::string text(templateLine);
    for (const auto& formatter : formatters) {
        if (formatter && formatter->Active)
            formatter->ReplaceTagsInPlace(text, observer);
    }
    return text;
}

void DecideAllActive(const TFormatterList& formatters, std::string_view templateText)
{
    for (const auto& formatter : formatters) {
        if (formatter)
            formatter->DecideIfActive(templateText);
    }
}

} // namespace statlume
