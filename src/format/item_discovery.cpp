#include "format/item_discovery.h"

#include <algorithm>

#include "base/ascii_case.h"
#include "base/printable_text.h"
#include "base/text_columns.h"
#include "format/detail_values.h"
#include "format/draw_options.h"
#include "format/empty_item_rules.h"
#include "format/item_catalogue.h"
#include "format/tag_language.h"

namespace statlume {

namespace {

constexpr std::string_view TagOpening = "<NAME=";
// Longer tags are cut in a report; a template line may be any length.
constexpr std::size_t ShownTagLength = 40;

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

// The row of the tag name upperWord starts with; nullptr when none.
const TItemRow* RowAtStart(std::string_view upperWord)
{
    for (const TItemRow& row : ItemCatalogue()) {
        if (upperWord.starts_with(AsciiUpperCopy(row.TagName)))
            return &row;
    }
    return nullptr;
}

// 1-based column of byte offset at, counting characters rather than UTF-8 bytes.
std::size_t ColumnOf(std::string_view line, std::size_t at)
{
    const auto continuation = std::count_if(line.begin(), line.begin() + at, [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
    });
    return at - static_cast<std::size_t>(continuation) + 1;
}

// The remarks on a known item's drawing, threshold and colour options, as the renderer reads
// them.
std::vector<std::string> DrawOptionNotes(std::string_view tag, std::string_view upperTagName)
{
    std::vector<std::string> notes;
    if (!MentionsDrawOptions(tag))
        return notes;
    std::vector<TDrawNote> raw;
    TDrawOptions options = ReadDrawOptions(tag, &raw);
    const TItemScale scale = ScaleOf(upperTagName, ReadTagOptions(tag).Format);
    DropMisorderedThresholds(options, scale.LowIsBad, &raw);
    for (const TDrawNote& note : raw)
        notes.push_back(std::string(note.Option) + ": " + std::string(note.Reason));
    if ((options.BarCells != 0 || options.GraphCells != 0) && !scale.HasMaximum)
        notes.push_back(std::string(options.BarCells != 0 ? "BAR" : "GRAPH") +
                        ": ignored, the item has no maximum");
    if ((options.Warn || options.Crit) && !scale.HasValue)
        notes.emplace_back("WARN, CRIT: ignored, the item has no numeric value");
    return notes;
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
    // The usage column ends at 80 characters, the width a terminal opens with.
    constexpr std::size_t OptionsWidth = 25;
    constexpr std::size_t LineWidth = 80;
    std::vector<std::vector<std::string>> rows{{"TAG", "OPTIONS", "DEFAULT USAGE"}};
    std::size_t tagWidth = 0;
    for (const TItemRow& row : ItemCatalogue()) {
        std::string options(row.Options);
        options += options.empty() ? "SIZE CHAR" : " SIZE CHAR";
        rows.push_back({std::string(row.TagName), options, std::string(row.DefaultUsage)});
        tagWidth = std::max(tagWidth, row.TagName.size() + 1);
    }
    const std::size_t widths[] = {tagWidth, OptionsWidth, LineWidth - tagWidth - OptionsWidth};
    std::string text = ColumnsText(rows, widths) + '\n';
    for (const std::string& line :
         WrappedLines("Every item also takes COLOR=#RRGGBB; items with a number take WARN=X and "
                      "CRIT=Y, and those with a maximum BAR=N and GRAPH=N (see --describe NAME).",
                      LineWidth))
        text += line + '\n';
    return text;
}

std::optional<std::string> DescribeItem(const TFormatterList& formatters, std::string_view name)
{
    const std::string upper = AsciiUpperCopy(name);
    for (const TItemRow& row : ItemCatalogue()) {
        if (upper != AsciiUpperCopy(row.TagName) && upper != AsciiUpperCopy(row.DisplayName))
            continue;
        std::string text;
        for (const auto& formatter : formatters)
            text += formatter->GetDescription(row.DisplayName);
        std::string out;
        for (const std::string& line : SplitTemplateLines(text))
            out += line + '\n';
        if (const std::string_view more = DetailFormatHelp(row.Item); !more.empty())
            out += std::string(more) + '\n';
        out += DrawOptionHelp(AsciiUpperCopy(row.TagName)) + '\n';
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
    for (const TItemRow& row : ItemCatalogue()) {
        const std::string_view tag = row.TagName;
        const std::size_t distance = EditDistance(word, tag);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = tag;
        }
    }
    return best;
}

std::vector<TTagProblem> CheckTemplateTags(std::string_view templateText,
                                           const TMachineFacts& facts)
{
    std::vector<TTagProblem> problems;
    const std::vector<std::string> lines = SplitTemplateLines(templateText);
    for (std::size_t number = 0; number < lines.size(); ++number) {
        const std::string& line = lines[number];
        const std::string upper = AsciiUpperCopy(line);
        for (std::size_t at = upper.find(TagOpening); at != std::string::npos;
             at = upper.find(TagOpening, at + 1)) {
            const std::size_t nameStart = at + TagOpening.size();
            const std::size_t column = ColumnOf(line, at);
            if (const TItemRow* row = RowAtStart(std::string_view(upper).substr(nameStart))) {
                const std::size_t close = line.find('>', at);
                // An unclosed tag is shown as written: none of its options count.
                if (close == std::string::npos)
                    continue;
                const std::string_view tag = std::string_view(line).substr(at, close + 1 - at);
                std::vector<std::string> notes = DrawOptionNotes(tag, AsciiUpperCopy(row->TagName));
                if (std::string note = EmptyItemNote(row->Item, ReadTagOptions(tag).Format, facts);
                    !note.empty())
                    notes.push_back(std::move(note));
                for (std::string& note : notes)
                    problems.push_back(
                        {number + 1, column, ShownTag(line, at), {}, std::move(note)});
                continue;
            }
            // "<NAME= Threads>" and "<NAME="Threads">" are typos of a tag too.
            std::size_t wordStart = nameStart;
            while (wordStart < line.size() && (line[wordStart] == ' ' || line[wordStart] == '"'))
                ++wordStart;
            std::size_t wordEnd = wordStart;
            while (wordEnd < line.size() && !IsNameEnd(line[wordEnd]))
                ++wordEnd;
            const std::string_view word =
                std::string_view(line).substr(wordStart, wordEnd - wordStart);
            problems.push_back({number + 1, column, ShownTag(line, at), NearestTagName(word), {}});
        }
    }
    return problems;
}

std::string TagProblemText(const TTagProblem& problem, TProblemPlace place)
{
    std::string text = "line " + std::to_string(problem.Line);
    if (place == TProblemPlace::LineAndColumn)
        text += ", column " + std::to_string(problem.Column);
    text += ": " + problem.Tag + ": ";
    if (!problem.Note.empty())
        return text + problem.Note;
    text += "no such item";
    if (!problem.Suggestion.empty())
        text += "; did you mean " + problem.Suggestion + "?";
    return text;
}

} // namespace statlume
