#include "format/run_renderer.h"

#include <algorithm>
#include <optional>

#include "base/ascii_case.h"
#include "format/draw_options.h"
#include "format/item_catalogue.h"
#include "format/tag_language.h"

namespace statlume {

namespace {

// A tag with drawing, threshold or colour options: where its value stands in the line.
struct TSpan
{
    std::size_t Start = 0;
    std::size_t Length = 0;
    std::size_t Occurrence = 0;
    TDrawOptions Options;
    TItemScale Scale;
    std::optional<TMeasure> Measure;
    /// The measured figure has a value (a rate from one sample has none).
    bool HasValue = false;
};

// Follows the substitution so the spans keep pointing at their values while later tags of
// the line are replaced around them.
class TSpanTracker final : public TTagObserver
{
public:
    explicit TSpanTracker(std::vector<TRunRenderer::TTagOptions>& read)
        : Read(read)
    {
    }

    void OnTagReplaced(const TFormatter& formatter, const TFormatData& item, std::string_view tag,
                       std::size_t start, std::size_t valueSize) override
    {
        const std::size_t end = start + tag.size();
        // A value that became part of a later tag (a FORMAT text ending in "<NAME=") is gone.
        const auto replaced = [&](std::size_t from, std::size_t length) {
            return from < end && from + length > start;
        };
        std::erase_if(Spans, [&](const TSpan& span) { return replaced(span.Start, span.Length); });
        std::erase_if(
            Padded, [&](const TTextRange& value) { return replaced(value.Offset, value.Length); });
        const auto follow = [&](std::size_t& from) {
            if (from >= end)
                from = from - tag.size() + valueSize;
        };
        for (TSpan& span : Spans)
            follow(span.Start);
        for (TTextRange& value : Padded)
            follow(value.Offset);
        const TRunRenderer::TTagOptions& options = OptionsOf(tag);
        if (options.PadsWithBlanks)
            Padded.push_back({start, valueSize});
        if (!options.Options.Any())
            return;
        TSpan span;
        span.Options = options.Options;
        const std::string& format = options.Format;
        span.Start = start;
        span.Length = valueSize;
        span.Occurrence = Count++;
        const TItemRow& row = ItemRow(item.Item);
        span.Scale = row.Scale(format);
        if (row.Measure != nullptr)
            span.Measure = row.Measure(formatter.Shell, format);
        span.HasValue =
            span.Measure && (row.Known == nullptr || row.Known(formatter.Shell.Known, format));
        DropMisorderedThresholds(span.Options, span.Scale.LowIsBad);
        Spans.push_back(std::move(span));
    }

    /// Drops the options of tags not met this time.
    void Finish() { Read.resize(Met); }

    std::vector<TSpan> Spans;
    /// Where the values of tags that SIZE pads with blanks stand.
    std::vector<TTextRange> Padded;

private:
    // A line's tags read the same tick after tick: their options are read once and kept by
    // the order the tags are met in, as long as the tag text there is the same.
    const TRunRenderer::TTagOptions& OptionsOf(std::string_view tag)
    {
        const std::size_t index = Met++;
        if (index < Read.size() && Read[index].Tag == tag)
            return Read[index];
        TRunRenderer::TTagOptions options{std::string(tag), {}, {}};
        const statlume::TTagOptions read = ReadTagOptions(tag);
        options.PadsWithBlanks = read.HasSize && read.PadChar == " ";
        if (MentionsDrawOptions(tag)) {
            options.Options = ReadDrawOptions(tag);
            if (options.Options.Any())
                options.Format = read.Format;
        }
        if (index >= Read.size())
            Read.resize(index + 1);
        Read[index] = std::move(options);
        return Read[index];
    }

    std::vector<TRunRenderer::TTagOptions>& Read;
    std::size_t Met = 0;
    std::size_t Count = 0;
};

float Fraction(double value, double maximum)
{
    if (!(maximum > 0) || !(value > 0))
        return 0;
    return value >= maximum ? 1.0f : static_cast<float>(value / maximum);
}

TRunTone ToneOf(const TSpan& span)
{
    if (span.HasValue && span.Scale.HasValue) {
        const double value = span.Measure->Value;
        const auto crossed = [&](double threshold) {
            return span.Scale.LowIsBad ? value <= threshold : value >= threshold;
        };
        if (span.Options.Crit && crossed(*span.Options.Crit))
            return TRunTone::Critical;
        if (span.Options.Warn && crossed(*span.Options.Warn))
            return TRunTone::Warning;
    }
    return span.Options.Colour ? TRunTone::Custom : TRunTone::Plain;
}

TRun SpanRun(const TSpan& span, std::string_view text, TTagHistory& history, std::int64_t nowMs,
             bool sample)
{
    TRun run;
    run.Text = std::string(text);
    run.Tone = ToneOf(span);
    run.BaseTone = span.Options.Colour ? TRunTone::Custom : TRunTone::Plain;
    run.Rgb = span.Options.Colour.value_or(0);
    if (!span.Scale.HasMaximum)
        return run;

    // A figure without a value (a rate from one sample, a drive never measured, swap without a
    // total) keeps its drawing's place, empty and without a threshold's colour, and adds
    // nothing to the graph or its peak: a zero would read as an alarm.
    history.SetCapacity(span.Options.GraphCells);
    std::optional<double> maximum;
    if (span.HasValue) {
        const auto value = static_cast<float>(span.Measure->Value);
        if (sample)
            history.Add(value, nowMs, run.Tone);
        maximum = span.Scale.PeakMaximum ? std::max<double>(history.Peak(nowMs), value)
                                         : span.Measure->Maximum;
        run.Fraction = Fraction(value, *maximum);
    } else if (span.Scale.PeakMaximum) {
        maximum = history.Peak(nowMs);
    } else if (span.Measure) {
        maximum = span.Measure->Maximum;
    }
    if (maximum)
        run.Scale = *maximum;
    if (span.Options.GraphCells != 0) {
        run.Kind = TRunKind::Graph;
        run.Cells = span.Options.GraphCells;
        run.Lines = span.Options.Lines;
        if (maximum) {
            run.History.reserve(history.Size());
            run.HistoryTones.reserve(history.Size());
            for (std::size_t i = 0; i < history.Size(); ++i) {
                run.History.push_back(Fraction(history.At(i), *maximum));
                run.HistoryTones.push_back(history.ToneAt(i));
            }
        }
    } else if (span.Options.BarCells != 0) {
        run.Kind = TRunKind::Bar;
        run.Cells = span.Options.BarCells;
        run.Lines = span.Options.Lines;
    }
    return run;
}

// The blanks at either end of each padded value in text, in order.
std::vector<TTextRange> PaddingOf(std::string_view text, std::vector<TTextRange> values)
{
    std::sort(values.begin(), values.end(),
              [](const TTextRange& a, const TTextRange& b) { return a.Offset < b.Offset; });
    std::vector<TTextRange> padding;
    for (const TTextRange& value : values) {
        if (value.Offset > text.size())
            continue;
        const std::string_view figure = text.substr(value.Offset, value.Length);
        const std::size_t first = figure.find_first_not_of(' ');
        if (first == std::string_view::npos) {
            if (!figure.empty())
                padding.push_back(value);
            continue;
        }
        const std::size_t last = figure.find_last_not_of(' ');
        if (first > 0)
            padding.push_back({value.Offset, first});
        if (last + 1 < figure.size())
            padding.push_back({value.Offset + last + 1, figure.size() - last - 1});
    }
    return padding;
}

// Hands each text run the padding that lies in it; the runs lay text down in order.
void AddPadding(TRunLine& line, const std::vector<TTextRange>& padding)
{
    std::size_t offset = 0;
    for (TRun& run : line.Runs) {
        const std::size_t end = offset + run.Text.size();
        for (const TTextRange& range : padding) {
            const std::size_t from = std::max(range.Offset, offset);
            const std::size_t to = std::min(range.Offset + range.Length, end);
            if (run.Kind == TRunKind::Text && from < to)
                run.Padding.push_back({from - offset, to - from});
        }
        offset = end;
    }
}

void AddText(TRunLine& line, std::string_view text)
{
    if (text.empty())
        return;
    TRun run;
    run.Text = std::string(text);
    line.Runs.push_back(std::move(run));
}

} // namespace

void TRunRenderer::SetLines(const std::vector<std::string>& lines)
{
    std::vector<TLineState> states(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i < States.size() && States[i].Text == lines[i]) {
            states[i] = std::move(States[i]);
            continue;
        }
        states[i].Text = lines[i];
        states[i].MayDraw = MentionsDrawOptions(lines[i]);
        states[i].MayPad = FindFolded(lines[i], "SIZE=") != std::string::npos;
    }
    States = std::move(states);
}

const TParsedLine& TRunRenderer::ParsedOf(TLineState& state, const TFormatterList& formatters)
{
    // The tray's processor icon can make a family Active that the template did not.
    if (!state.Parsed || !state.Parsed->Fits(formatters)) {
        state.Parsed.emplace(formatters, state.Text);
        ++Parses;
    }
    return *state.Parsed;
}

std::string TRunRenderer::RenderText(const TFormatterList& formatters, std::size_t index)
{
    return ParsedOf(States.at(index), formatters).Render(formatters, nullptr);
}

TRunLine TRunRenderer::Render(const TFormatterList& formatters, std::size_t index,
                              std::int64_t nowMs, bool sample)
{
    TLineState& state = States.at(index);
    const TParsedLine& parsed = ParsedOf(state, formatters);
    TRunLine line;
    if (!state.MayDraw && !state.MayPad) {
        AddText(line, parsed.Render(formatters, nullptr));
        return line;
    }
    TSpanTracker tracker(state.Read);
    const std::string text = parsed.Render(formatters, &tracker);
    tracker.Finish();
    // Stable: an empty value met first stands before a tag replaced at the same place.
    std::stable_sort(tracker.Spans.begin(), tracker.Spans.end(),
                     [](const TSpan& a, const TSpan& b) { return a.Start < b.Start; });
    std::size_t pos = 0;
    for (const TSpan& span : tracker.Spans) {
        AddText(line, std::string_view(text).substr(pos, span.Start - pos));
        // A line holds a bounded number of tags, so its histories are bounded too.
        if (span.Occurrence >= state.Tags.size())
            state.Tags.resize(span.Occurrence + 1);
        TRun run = SpanRun(span, std::string_view(text).substr(span.Start, span.Length),
                           state.Tags[span.Occurrence], nowMs, sample);
        if (run.Kind != TRunKind::Text || !run.Text.empty())
            line.Runs.push_back(std::move(run));
        pos = span.Start + span.Length;
    }
    AddText(line, std::string_view(text).substr(pos));
    AddPadding(line, PaddingOf(text, std::move(tracker.Padded)));
    return line;
}

std::vector<TRunLine> TRunRenderer::RenderAll(const TFormatterList& formatters, std::int64_t nowMs,
                                              bool sample)
{
    std::vector<TRunLine> lines;
    lines.reserve(States.size());
    for (std::size_t i = 0; i < States.size(); ++i)
        lines.push_back(Render(formatters, i, nowMs, sample));
    return lines;
}

} // namespace statlume
