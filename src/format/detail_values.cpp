#include "format/detail_values.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>

#include "base/ascii_case.h"
#include "format/beyond_values.h"
#include "format/figure_text.h"
#include "format/tag_language.h"
#include "record/raw_data.h"

namespace statlume {

namespace {

// The record's ProcUsage entries: the total, then processors 1 to 4.
constexpr std::int32_t RecordEntries = static_cast<std::int32_t>(std::size(TRawData{}.ProcUsage));

// Numbers and "b" keep their laid-down reading whatever interfaces there are.
bool MayNameInterface(std::string_view format)
{
    return !format.empty() && format != "b" && !ReadFormatNumber(format);
}

// Calls visit with the FORMAT text of every tag of the item in the text.
template <typename TVisit> void ForEachFormat(std::string_view text, TItem item, TVisit visit)
{
    const std::string upperName = AsciiUpperCopy(ItemRow(item).TagName);
    for (std::size_t from = 0;;) {
        const std::size_t start = FindTagStart(text, upperName, from);
        const std::size_t close = start == std::string_view::npos ? start : text.find('>', start);
        if (close == std::string_view::npos)
            return;
        visit(ReadTagOptions(text.substr(start, close + 1 - start)).Format);
        from = close + 1;
    }
}

} // namespace

const TCoreFigure* SelectedCore(const TFiguresBeyond& beyond, std::string_view format)
{
    const std::int32_t index = ReadFormatIndex(format);
    if (index < RecordEntries || static_cast<std::size_t>(index) > beyond.Cores.size())
        return nullptr;
    return &beyond.Cores[static_cast<std::size_t>(index) - 1];
}

const TInterfaceFigure* SelectedInterface(const TFiguresBeyond& beyond, std::string_view format)
{
    if (!MayNameInterface(format))
        return nullptr;
    const auto found =
        std::find_if(beyond.Interfaces.begin(), beyond.Interfaces.end(),
                     [format](const TInterfaceFigure& figure) { return figure.Name == format; });
    return found == beyond.Interfaces.end() ? nullptr : &*found;
}

std::string_view DetailFormatHelp(TItem item)
{
    switch (item) {
    case TItem::ProcUsage:
        return "On a machine with more than four processors, Format 5 and above shows that one "
               "(the fifth listed in /proc/stat, and so on); a client shows it empty.";
    case TItem::DriveSpace:
        return "On Linux a letter stands for a mounted file system: C is / until the drive map "
               "says otherwise. Choose the letters with Drive Letters in the options dialog, or "
               "in the \"DriveMap\" setting (C=/;D=/home).";
    case TItem::NetRead:
    case TItem::NetWrite:
        return "Format may also be an interface's kernel name (eth0) to show that interface; a "
               "name of no interface, and any name on a client, shows the total.";
    default:
        return {};
    }
}

TFigureDetail TemplateFigureDetail(std::string_view templateText)
{
    TFigureDetail detail;
    ForEachFormat(templateText, TItem::ProcUsage, [&detail](const std::string& format) {
        detail.CoresBeyondFour = detail.CoresBeyondFour || ReadFormatIndex(format) >= RecordEntries;
    });
    const auto addName = [&detail](const std::string& format) {
        std::vector<std::string>& names = detail.InterfaceNames;
        if (MayNameInterface(format) &&
            std::find(names.begin(), names.end(), format) == names.end())
            names.push_back(format);
    };
    ForEachFormat(templateText, TItem::NetRead, addName);
    ForEachFormat(templateText, TItem::NetWrite, addName);
    for (const TItemRow& row : ItemCatalogue()) {
        if (row.Family != TFamily::Gpu)
            continue;
        ForEachFormat(templateText, row.Item, [&detail](const std::string& format) {
            std::vector<std::size_t>& places = detail.GpuPlaces;
            const auto place = GpuPlace(format);
            if (place && std::find(places.begin(), places.end(), *place) == places.end())
                places.push_back(*place);
        });
    }
    return detail;
}

} // namespace statlume
