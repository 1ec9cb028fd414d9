#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace statlume {

/// What a run draws.
enum class TRunKind : std::uint8_t
{
    Text,
    Bar,
    Graph,
};

/// Which colour a run takes.
enum class TRunTone : std::uint8_t
{
    /// The display's own text colour.
    Plain,
    /// The tag's COLOR.
    Custom,
    /// A WARN threshold is crossed.
    Warning,
    /// A CRIT threshold is crossed.
    Critical,
};

/// A stretch of a run's text, in bytes.
struct TTextRange
{
    std::size_t Offset = 0;
    std::size_t Length = 0;

    bool operator==(const TTextRange&) const = default;
};

/// One piece of a rendered line.
struct TRun
{
    TRunKind Kind = TRunKind::Text;
    /// The text; for a drawing, the value text it stands for.
    std::string Text;
    TRunTone Tone = TRunTone::Plain;
    /// 0xRRGGBB for the Custom tone.
    std::uint32_t Rgb = 0;
    /// Width of a drawing in cells (a digit's width; one character in text outputs).
    std::size_t Cells = 0;
    /// The value against the item's maximum, 0..1; negative when the item has none.
    double Fraction = -1;
    /// A graph's values against the maximum, 0..1, oldest first; at most Cells of them.
    std::vector<float> History;
    /// The blanks of Text that pad a figure to its SIZE, in order: the window draws them a
    /// digit wide, so a padded figure keeps its width in any font.
    std::vector<TTextRange> Padding;
    /// The tone each History value had when it was recorded; as many as History.
    std::vector<TRunTone> HistoryTones;
    /// A drawing's tone without its thresholds (Plain or Custom): the colour of its track.
    TRunTone BaseTone = TRunTone::Plain;
    /// The maximum a drawing is drawn against, in the value's unit; 0 when none is known.
    double Scale = 0;
    /// A drawing's height in text lines (HEIGHT=, 1..MaxDrawLines); text outputs draw one.
    std::size_t Lines = 1;

    bool operator==(const TRun&) const = default;
};

/// One rendered template line.
struct TRunLine
{
    std::vector<TRun> Runs;

    bool operator==(const TRunLine&) const = default;
};

/// The line's text as the laid-down rules render it: every run's text, drawings included as
/// their value text.
std::string PlainText(const TRunLine& line);

/// The line's text without its drawings.
std::string TextWithoutDrawings(const TRunLine& line);

/// How many text lines the line takes in the window: its tallest drawing's, 1 at least.
std::size_t LinesOf(const TRunLine& line);

} // namespace statlume
