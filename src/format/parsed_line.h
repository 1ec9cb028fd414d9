#pragma once

// One template line parsed once: where its tags stand and what they ask for, so a render
// makes the values and joins them to the text between without searching the line again.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "format/formatter.h"
#include "format/tag_language.h"

namespace statlume {

/// A template line with its tags found for the Active formatters of the moment it was parsed.
class TParsedLine
{
public:
    /// Finds the tags of line as RenderLine would replace them through formatters as they
    /// are Active now.
    TParsedLine(const TFormatterList& formatters, std::string_view line);

    /// True while the formatters' Active flags are those the line was parsed for.
    bool Fits(const TFormatterList& formatters) const;

    /// The same text as RenderLine(formatters, line, observer), with the same calls to the
    /// value functions and to observer, in the same order.
    std::string Render(const TFormatterList& formatters, TTagObserver* observer) const;

private:
    // One tag: its item, its place in the line and its options.
    struct TSlot
    {
        std::size_t Formatter = 0;
        std::size_t Item = 0;
        std::size_t Start = 0;
        std::size_t Length = 0;
        TTagOptions Options;
    };

    std::string RenderTags(const TFormatterList& formatters, TTagObserver* observer,
                           const std::vector<std::string>& values) const;

    std::string Line;
    std::vector<bool> ActiveFlags;
    /// In the order RenderLine replaces them.
    std::vector<TSlot> Slots;
    /// Slot indices in the order they stand in the line.
    std::vector<std::size_t> ByPlace;
    /// False when a value could change which tags the line holds (a "<" outside every tag,
    /// a tag around another's value): such a line is rendered by RenderLine every time.
    bool Fixed = false;
};

} // namespace statlume
