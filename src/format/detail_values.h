#pragma once

// The processor and network figures beyond the record: the core or interface a ProcUsage,
// NetRead or NetWrite FORMAT selects past the record's five entries, and which of them a
// template shows. Each lookup gives nothing when the snapshot holds no such figure (not
// collected, or a client's or a record's snapshot), so the item reads as laid down.

#include <string_view>

#include "format/item_catalogue.h"
#include "record/figure_detail.h"
#include "record/figures_beyond.h"

namespace statlume {

/// The core a ProcUsage FORMAT reading as 5 or more selects (5 = the fifth processor listed);
/// nullptr for any other FORMAT or a core the snapshot does not hold.
const TCoreFigure* SelectedCore(const TFiguresBeyond& beyond, std::string_view format);

/// The interface whose kernel name a NetRead or NetWrite FORMAT is exactly; nullptr for "b",
/// any number, or a name the snapshot does not hold.
const TInterfaceFigure* SelectedInterface(const TFiguresBeyond& beyond, std::string_view format);

/// What --describe and the options dialog add to the laid-down help of ProcUsage, NetRead and
/// NetWrite about the FORMATs that select beyond the record, and of DriveSpace about what a
/// letter means on Linux; empty for every other item.
std::string_view DetailFormatHelp(TItem item);

/// What of those figures the template's ProcUsage, NetRead and NetWrite tags can select.
TFigureDetail TemplateFigureDetail(std::string_view templateText);

} // namespace statlume
