#pragma once

#include <optional>
#include <string_view>

#include "record/raw_data.h"
#include "record/raw_data_shell.h"

namespace statlume {

/// An item's value as a number, in the unit its text shows.
struct TMeasure
{
    double Value = 0;
    /// The natural maximum in the same unit; 0 when the item has none or it is the peak of
    /// the last minute, which only the caller's history knows.
    double Maximum = 0;
};

/// The value of the item with the given upper-case tag name and FORMAT text read from data;
/// nothing for items without a numeric value and for a FORMAT that selects nothing.
std::optional<TMeasure> MeasureItem(const TRawData& data, std::string_view upperTagName,
                                    std::string_view format);
/// False when the figure the item and FORMAT text select has no value in known (a rate from
/// one sample, a step that could not read its data); true for every other item.
bool FigureKnown(const TFigureKnown& known, std::string_view upperTagName, std::string_view format);

} // namespace statlume
