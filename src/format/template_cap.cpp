#include "format/template_cap.h"

#include "base/utf8_bytes.h"
#include "format/tag_language.h"

namespace statlume {
namespace {

// Where a line break ends at pos (CR LF counts once), or pos when none starts there.
std::size_t BreakEnd(std::string_view text, std::size_t pos)
{
    if (text[pos] == '\n') {
        return pos + 1;
    }
    if (text[pos] == '\r') {
        return pos + 1 < text.size() && text[pos + 1] == '\n' ? pos + 2 : pos + 1;
    }
    return pos;
}

} // namespace

TTemplateCap CapTemplate(std::string_view text)
{
    TTemplateCap cap;
    std::size_t keptEnd = text.size();
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t next = BreakEnd(text, pos);
        if (next == pos) {
            ++pos;
            continue;
        }
        ++cap.Lines;
        if (cap.Lines == MaxTemplateLines) {
            keptEnd = next;
        }
        pos = next;
    }
    // A last line without a break is a line too.
    if (!text.empty() && BreakEnd(text, text.size() - 1) == text.size() - 1) {
        ++cap.Lines;
    }
    if (keptEnd > MaxTemplateBytes) {
        keptEnd = MaxTemplateBytes;
        while (keptEnd > 0 && IsContinuationByte(text[keptEnd])) {
            --keptEnd;
        }
    }
    cap.Kept = text.substr(0, keptEnd);
    cap.Cut = keptEnd < text.size();
    return cap;
}

std::string TemplateCapMessage(const TTemplateCap& cap)
{
    if (!cap.Cut) {
        return {};
    }
    return "The template has " + std::to_string(cap.Lines) + " lines; the window shows the first " +
           std::to_string(SplitTemplateLines(cap.Kept).size()) + " (at most " +
           std::to_string(MaxTemplateLines) + " lines and " +
           std::to_string(MaxTemplateBytes / 1024) + " KiB) and drops the rest.";
}

} // namespace statlume
