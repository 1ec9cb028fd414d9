#include "format/parsed_line.h"

#include <algorithm>
#include <numeric>

namespace statlume {

namespace {

// Stands for a value while parsing; a line holding it is never parsed.
constexpr char ValueMark = '\0';
constexpr std::size_t NoOrigin = std::string::npos;

std::vector<bool> ActiveFlagsOf(const TFormatterList& formatters)
{
    std::vector<bool> flags;
    flags.reserve(formatters.size());
    for (const auto& formatter : formatters)
        flags.push_back(formatter && formatter->Active);
    return flags;
}

} // namespace

// Replaces the tags as RenderLine does, each by a mark standing for its value. The tags found
// are those of every render as long as no value can take part in a tag: every "<" of the line
// lies inside a tag replaced, no tag encloses another's value, and no value holds a "<"
// (checked on each render). A value's letters then never meet a "<NAME=" and its ">" never
// closes a tag.
TParsedLine::TParsedLine(const TFormatterList& formatters, std::string_view line)
    : Line(line)
    , ActiveFlags(ActiveFlagsOf(formatters))
{
    if (line.find(ValueMark) != std::string_view::npos)
        return;
    std::string text(line);
    // The line's index of each byte of text; NoOrigin for a mark.
    std::vector<std::size_t> origin(line.size());
    std::iota(origin.begin(), origin.end(), std::size_t{0});
    std::vector<bool> inTag(line.size(), false);
    for (std::size_t f = 0; f < formatters.size(); ++f) {
        if (!ActiveFlags[f])
            continue;
        const auto& items = formatters[f]->Items;
        for (std::size_t i = 0; i < items.size(); ++i) {
            std::size_t from = 0;
            for (;;) {
                const std::size_t start = FindTagStart(text, items[i].second.TagName, from);
                if (start == std::string::npos)
                    break;
                const std::size_t close = text.find('>', start);
                if (close == std::string::npos)
                    break;
                const auto first = origin.begin() + static_cast<std::ptrdiff_t>(start);
                const auto last = origin.begin() + static_cast<std::ptrdiff_t>(close) + 1;
                if (std::find(first, last, NoOrigin) != last)
                    return;
                const std::size_t length = close + 1 - start;
                Slots.push_back({f, i, *first, length,
                                 ReadTagOptions(std::string_view(text).substr(start, length))});
                std::fill_n(inTag.begin() + static_cast<std::ptrdiff_t>(*first), length, true);
                text.replace(start, length, 1, ValueMark);
                origin.erase(first + 1, last);
                origin[start] = NoOrigin;
                from = start + 1;
            }
        }
    }
    for (std::size_t pos = 0; pos < line.size(); ++pos) {
        if (line[pos] == '<' && !inTag[pos])
            return;
    }
    ByPlace.resize(Slots.size());
    std::iota(ByPlace.begin(), ByPlace.end(), std::size_t{0});
    std::sort(ByPlace.begin(), ByPlace.end(),
              [this](std::size_t a, std::size_t b) { return Slots[a].Start < Slots[b].Start; });
    Fixed = true;
}

bool TParsedLine::Fits(const TFormatterList& formatters) const
{
    if (formatters.size() != ActiveFlags.size())
        return false;
    for (std::size_t f = 0; f < formatters.size(); ++f) {
        if (ActiveFlags[f] != (formatters[f] && formatters[f]->Active))
            return false;
    }
    return true;
}

std::string TParsedLine::Render(const TFormatterList& formatters, TTagObserver* observer) const
{
    if (!Fixed)
        return RenderLine(formatters, Line, observer);
    std::vector<std::string> values;
    values.reserve(Slots.size());
    for (const TSlot& slot : Slots) {
        const TFormatter& formatter = *formatters[slot.Formatter];
        const TFormatData& item = formatter.Items[slot.Item].second;
        std::string value;
        if (item.Func)
            value = item.Func(slot.Options.Format, slot.Options.LeadZero, slot.Options.Decimal);
        PadValue(value, slot.Options, formatter.Alignment == 1);
        // A value with a tag opening in it could make a tag the parse never saw.
        if (value.find('<') != std::string::npos)
            return RenderLine(formatters, Line, observer);
        values.push_back(std::move(value));
    }
    return RenderTags(formatters, observer, values);
}

std::string TParsedLine::RenderTags(const TFormatterList& formatters, TTagObserver* observer,
                                    const std::vector<std::string>& values) const
{
    if (observer != nullptr) {
        // Each tag is told where it stood when RenderLine reached it: after the values of
        // the tags before it in the line that were replaced before it.
        for (std::size_t k = 0; k < Slots.size(); ++k) {
            const TSlot& slot = Slots[k];
            std::size_t start = slot.Start;
            for (std::size_t j = 0; j < k; ++j) {
                if (Slots[j].Start < slot.Start)
                    start = start + values[j].size() - Slots[j].Length;
            }
            const TFormatter& formatter = *formatters[slot.Formatter];
            observer->OnTagReplaced(formatter, formatter.Items[slot.Item].second,
                                    std::string_view(Line).substr(slot.Start, slot.Length), start,
                                    values[k].size());
        }
    }
    std::string text;
    std::size_t pos = 0;
    for (const std::size_t k : ByPlace) {
        text.append(Line, pos, Slots[k].Start - pos);
        text += values[k];
        pos = Slots[k].Start + Slots[k].Length;
    }
    text.append(Line, pos);
    return text;
}

} // namespace statlume
