#include "cli/item_discovery.h"

#include <algorithm>
#include <array>

#include "format/ascii_case.h"
#include "format/item_texts.h"
#include "format/printable_text.h"
#include "format/tag_language.h"

namespace statlume {

namespace {

constexpr std::string_view TagOpening = "<NAME=";
// Longer tags are cut in a report; a template line may be any length.
constexpr std::size_t ShownTagLength = 40;

// The options each item's value function reads, in registry order.
constexpr std::array<std::string_view, ItemCount> ItemOptions = {
    "FORMAT",
    "FORMAT",
    "FORMAT",
    "",
    "",
    "",
    "FORMAT LEADZERO",
    "",
    "",
    "DECIMAL",
    "FORMAT DECIMAL",
    "FORMAT DECIMAL",
    "DECIMAL",
    "FORMAT DECIMAL",
    "FORMAT DECIMAL",
    "FORMAT LEADZERO DECIMAL",
    "FORMAT LEADZERO DECIMAL",
    "FORMAT LEADZERO DECIMAL",
    "FORMAT LEADZERO",
    "",
    "",
    "FORMAT",
    "",
    "FORMAT DECIMAL",
};

std::string Padded(std::string_view text, std::size_t width)
{
    std::string out(text);
    if (out.size() < width)
        out.append(width - out.size(), ' ');
    return out;
}

std::size_t EditDistance(std::string_view a, std::string_view b)
{
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            const bool same = AsciiUpper(a[i - 1]) == AsciiUpper(b[j - 1]);
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

bool IsNameEnd(char c)
{
    return c == ' ' || c == '>' || c == '"' || c == '\t' || c == '=';
}

bool StartsWithTagName(std::string_view upperWord)
{
    for (std::size_t i = 0; i < ItemCount; ++i) {
        if (upperWord.starts_with(AsciiUpperCopy(ItemNamesOf(static_cast<TItem>(i)).TagName)))
            return true;
    }
    return false;
}

std::string ShownTag(std::string_view line, std::size_t start)
{
    const std::size_t close = line.find('>', start);
    const std::size_t end = close == std::string_view::npos ? line.size() : close + 1;
    std::string tag(line.substr(start, std::min(end - start, ShownTagLength)));
    if (end - start > ShownTagLength)
        tag += "...";
    return PrintableText(tag);
}

} // namespace

std::string ItemListText()
{
    constexpr std::size_t TagWidth = 12;
    constexpr std::size_t OptionsWidth = 25;
    std::string text =
        Padded("TAG", TagWidth) + Padded("OPTIONS", OptionsWidth) + "DEFAULT USAGE\n";
    for (std::size_t i = 0; i < ItemCount; ++i) {
        const TItemNames names = ItemNamesOf(static_cast<TItem>(i));
        std::string options(ItemOptions[i]);
        options += options.empty() ? "SIZE CHAR" : " SIZE CHAR";
        text += Padded(names.TagName, TagWidth) + Padded(options, OptionsWidth) +
                std::string(names.DefaultUsage) + '\n';
    }
    return text;
}

std::optional<std::string> DescribeItem(const TFormatterList& formatters, std::string_view name)
{
    const std::string upper = AsciiUpperCopy(name);
    for (std::size_t i = 0; i < ItemCount; ++i) {
        const TItemNames names = ItemNamesOf(static_cast<TItem>(i));
        if (upper != AsciiUpperCopy(names.TagName) && upper != AsciiUpperCopy(names.DisplayName))
            continue;
        std::string text;
        for (const auto& formatter : formatters)
            text += formatter->GetDescription(names.DisplayName);
        std::string out;
        for (const std::string& line : SplitTemplateLines(text))
            out += line + '\n';
        return out;
    }
    return std::nullopt;
}

std::string NearestTagName(std::string_view word)
{
    if (word.empty())
        return {};
    std::string best;
    std::size_t bestDistance = std::max<std::size_t>(2, word.size() / 3) + 1;
    for (std::size_t i = 0; i < ItemCount; ++i) {
        const std::string_view tag = ItemNamesOf(static_cast<TItem>(i)).TagName;
        const std::size_t distance = EditDistance(word, tag);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = tag;
        }
    }
    return best;
}

std::vector<TTagProblem> CheckTemplateTags(std::string_view templateText)
{
    std::vector<TTagProblem> problems;
    const std::vector<std::string> lines = SplitTemplateLines(templateText);
    for (std::size_t number = 0; number < lines.size(); ++number) {
        const std::string& line = lines[number];
        const std::string upper = AsciiUpperCopy(line);
        for (std::size_t at = upper.find(TagOpening); at != std::string::npos;
             at = upper.find(TagOpening, at + 1)) {
            const std::size_t nameStart = at + TagOpening.size();
            if (StartsWithTagName(std::string_view(upper).substr(nameStart)))
                continue;
            // "<NAME= Threads>" and "<NAME="Threads">" are typos of a tag too.
            std::size_t wordStart = nameStart;
            while (wordStart < line.size() && (line[wordStart] == ' ' || line[wordStart] == '"'))
                ++wordStart;
            std::size_t wordEnd = wordStart;
            while (wordEnd < line.size() && !IsNameEnd(line[wordEnd]))
                ++wordEnd;
            const std::string_view word =
                std::string_view(line).substr(wordStart, wordEnd - wordStart);
            problems.push_back({number + 1, ShownTag(line, at), NearestTagName(word)});
        }
    }
    return problems;
}

std::string TagProblemText(const TTagProblem& problem)
{
    std::string text =
        "line " + std::to_string(problem.Line) + ": " + problem.Tag + ": no such item";
    if (!problem.Suggestion.empty())
        text += "; did you mean " + problem.Suggestion + "?";
    return text;
}

} // namespace statlume
