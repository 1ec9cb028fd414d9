#include "format/draw_options.h"

#include "base/ascii_case.h"
#include "format/item_catalogue.h"
#include "format/tag_language.h"

namespace statlume {

namespace {

constexpr std::string_view BarKey = "BAR=";
constexpr std::string_view GraphKey = "GRAPH=";
constexpr std::string_view WarnKey = "WARN=";
constexpr std::string_view CritKey = "CRIT=";
constexpr std::string_view ColourKey = "COLOR=";
constexpr std::string_view HeightKey = "HEIGHT=";

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

int HexDigit(char c)
{
    if (IsDigit(c))
        return c - '0';
    const char upper = AsciiUpper(c);
    return upper >= 'A' && upper <= 'F' ? upper - 'A' + 10 : -1;
}

void Note(std::vector<TDrawNote>* notes, std::string_view option, std::string_view reason)
{
    if (notes != nullptr)
        notes->push_back({option, reason});
}

// How a count (cells, lines) is bounded and what is said of one out of bounds.
struct TCountRule
{
    std::size_t Most;
    std::string_view Missing;
    std::string_view Zero;
    std::string_view TooMany;
};

constexpr TCountRule CellRule{MaxDrawCells, "needs a number of cells; ignored", "0 cells; ignored",
                              "wider than 512 cells; drawn 512 wide"};
constexpr TCountRule LineRule{MaxDrawLines, "needs a number of lines; ignored", "0 lines; ignored",
                              "taller than 8 lines; drawn 8 high"};

// Digits after the keyword: 1..rule.Most, more is capped, anything else is absent (0).
std::size_t ReadCount(std::string_view tag, std::string_view key, const TCountRule& rule,
                      std::vector<TDrawNote>* notes)
{
    const std::size_t most = rule.Most;
    const std::size_t keyPos = FindFolded(tag, key);
    if (keyPos == std::string_view::npos)
        return 0;
    std::size_t pos = keyPos + key.size();
    std::size_t value = 0;
    bool any = false;
    for (; pos < tag.size() && IsDigit(tag[pos]); ++pos) {
        any = true;
        // Saturates, so a run of a thousand digits reads as "too wide", not as a wrapped number.
        value = value > most ? value : value * 10 + static_cast<std::size_t>(tag[pos] - '0');
    }
    const std::string_view option = key.substr(0, key.size() - 1);
    if (!any) {
        Note(notes, option, rule.Missing);
        return 0;
    }
    if (value == 0) {
        Note(notes, option, rule.Zero);
        return 0;
    }
    if (value > most) {
        Note(notes, option, rule.TooMany);
        return most;
    }
    return value;
}

// An optional minus, digits, an optional fraction; at least one digit.
std::optional<double> ReadThreshold(std::string_view tag, std::string_view key,
                                    std::vector<TDrawNote>* notes)
{
    const std::size_t keyPos = FindFolded(tag, key);
    if (keyPos == std::string_view::npos)
        return std::nullopt;
    std::size_t pos = keyPos + key.size();
    const bool negative = pos < tag.size() && tag[pos] == '-';
    if (negative)
        ++pos;
    double value = 0;
    bool any = false;
    // Sixteen significant digits are all a double holds; more would only make the loop long.
    std::size_t digits = 0;
    for (; pos < tag.size() && IsDigit(tag[pos]); ++pos, ++digits) {
        any = true;
        if (digits < 16)
            value = value * 10 + (tag[pos] - '0');
        else
            value *= 10;
    }
    if (pos < tag.size() && tag[pos] == '.') {
        double scale = 0.1;
        for (++pos; pos < tag.size() && IsDigit(tag[pos]); ++pos, scale /= 10) {
            any = true;
            value += (tag[pos] - '0') * scale;
        }
    }
    if (!any) {
        Note(notes, key.substr(0, key.size() - 1), "needs a number; ignored");
        return std::nullopt;
    }
    return negative ? -value : value;
}

std::optional<std::uint32_t> ReadColour(std::string_view tag, std::vector<TDrawNote>* notes)
{
    const std::size_t keyPos = FindFolded(tag, ColourKey);
    if (keyPos == std::string_view::npos)
        return std::nullopt;
    const std::size_t pos = keyPos + ColourKey.size();
    std::uint32_t rgb = 0;
    bool wellFormed = pos < tag.size() && tag[pos] == '#' && tag.size() - pos >= 7;
    for (std::size_t i = 1; wellFormed && i <= 6; ++i) {
        const int digit = HexDigit(tag[pos + i]);
        wellFormed = digit >= 0;
        rgb = rgb * 16 + static_cast<std::uint32_t>(digit < 0 ? 0 : digit);
    }
    // "#FF00001" is no colour rather than red with a stray digit.
    if (wellFormed && tag.size() - pos > 7 && HexDigit(tag[pos + 7]) >= 0)
        wellFormed = false;
    if (!wellFormed) {
        Note(notes, "COLOR", "needs #RRGGBB; ignored");
        return std::nullopt;
    }
    return rgb;
}

} // namespace

bool MentionsDrawOptions(std::string_view tag)
{
    for (const std::string_view key : {BarKey, GraphKey, WarnKey, CritKey, ColourKey, HeightKey}) {
        if (FindFolded(tag, key) != std::string_view::npos)
            return true;
    }
    return false;
}

TDrawOptions ReadDrawOptions(std::string_view tag, std::vector<TDrawNote>* notes)
{
    TDrawOptions options;
    options.BarCells = ReadCount(tag, BarKey, CellRule, notes);
    options.GraphCells = ReadCount(tag, GraphKey, CellRule, notes);
    if (options.BarCells != 0 && options.GraphCells != 0) {
        Note(notes, "BAR", "ignored, GRAPH given too");
        options.BarCells = 0;
    }
    options.Warn = ReadThreshold(tag, WarnKey, notes);
    options.Crit = ReadThreshold(tag, CritKey, notes);
    options.Colour = ReadColour(tag, notes);
    const std::size_t lines = ReadCount(tag, HeightKey, LineRule, notes);
    if (lines != 0 && options.BarCells == 0 && options.GraphCells == 0)
        Note(notes, "HEIGHT", "needs BAR or GRAPH; ignored");
    else if (lines != 0)
        options.Lines = lines;
    return options;
}

TItemScale ScaleOf(std::string_view upperTagName, std::string_view format)
{
    const TItemRow* row = FindItemRow(upperTagName);
    return row == nullptr ? TItemScale{} : row->Scale(format);
}

std::string DrawOptionHelp(std::string_view upperTagName)
{
    std::string text = "Also takes COLOR=#RRGGBB (text colour)";
    const TItemRow* row = FindItemRow(upperTagName);
    if (row == nullptr)
        return text + '.';
    // The help describes the item as its default usage reads it (a drive's free space).
    const TItemScale scale = row->Scale(ReadTagOptions(row->DefaultUsage).Format);
    if (scale.HasValue) {
        text += scale.LowIsBad ? ", WARN=X and CRIT=Y (warning and critical colour at or below "
                                 "them)"
                               : ", WARN=X and CRIT=Y (warning and critical colour at or above "
                                 "them)";
    }
    if (scale.HasMaximum) {
        text += ", BAR=N (a bar N cells wide) and GRAPH=N (the last N values), drawn against ";
        text += row->MaximumText;
        text += " in place of the value, and HEIGHT=N (a drawing N lines high in the window, 1 to "
                "8)";
    }
    text += '.';
    return text;
}

void DropMisorderedThresholds(TDrawOptions& options, bool lowIsBad, std::vector<TDrawNote>* notes)
{
    if (!options.Warn || !options.Crit)
        return;
    const bool misordered =
        lowIsBad ? *options.Warn < *options.Crit : *options.Warn > *options.Crit;
    if (!misordered)
        return;
    Note(notes, "WARN",
         lowIsBad ? "below CRIT on a free-space item; WARN and CRIT ignored"
                  : "above CRIT; WARN and CRIT ignored");
    options.Warn.reset();
    options.Crit.reset();
}

} // namespace statlume
