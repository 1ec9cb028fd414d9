#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "format/draw_options.h"
#include "format/formatter.h"
#include "format/parsed_line.h"
#include "format/run.h"
#include "format/tag_history.h"

namespace statlume {

/// Renders template lines into runs: the laid-down substitution, with each tag that has
/// drawing, threshold or colour options turned into a run of its own. Keeps the history of
/// every such tag occurrence; a line without those options renders as one text run, its SIZE
/// padding marked.
class TRunRenderer
{
public:
    /// The template lines from now on; a line whose text is unchanged at the same index keeps
    /// its history and its parse, any other starts empty and is parsed at its first render.
    void SetLines(const std::vector<std::string>& lines);
    /// The template lines.
    std::size_t LineCount() const { return States.size(); }
    /// The template line at index.
    const std::string& Line(std::size_t index) const { return States.at(index).Text; }

    /// Renders line index through the Active formatters. nowMs is a steady clock in
    /// milliseconds; sample adds the values to the histories (a new snapshot), otherwise the
    /// histories are only read.
    TRunLine Render(const TFormatterList& formatters, std::size_t index, std::int64_t nowMs,
                    bool sample);
    /// Every line, in order.
    std::vector<TRunLine> RenderAll(const TFormatterList& formatters, std::int64_t nowMs,
                                    bool sample);
    /// Line index as text, as RenderLine gives it; no history is read or kept.
    std::string RenderText(const TFormatterList& formatters, std::size_t index);
    /// How many times a line was parsed: once per new line, and again when the formatters'
    /// Active flags changed since.
    std::size_t ParseCount() const { return Parses; }

    /// The options read from one tag of a line, kept while the tag reads the same.
    struct TTagOptions
    {
        std::string Tag;
        /// Absent drawing options (Any() false) mean the tag is laid down as before.
        TDrawOptions Options;
        std::string Format;
        /// SIZE pads the value with blanks.
        bool PadsWithBlanks = false;
    };

private:
    struct TLineState
    {
        std::string Text;
        /// The line mentions a drawing, threshold or colour keyword somewhere.
        bool MayDraw = false;
        /// The line mentions SIZE somewhere: its padding is marked.
        bool MayPad = false;
        /// One history per tag occurrence with such options, in the order they are met.
        std::vector<TTagHistory> Tags;
        /// The options of every tag met in the last rendering, in the order met.
        std::vector<TTagOptions> Read;
        /// Absent until the first render.
        std::optional<TParsedLine> Parsed;
    };

    const TParsedLine& ParsedOf(TLineState& state, const TFormatterList& formatters);

    std::vector<TLineState> States;
    std::size_t Parses = 0;
};

} // namespace statlume
