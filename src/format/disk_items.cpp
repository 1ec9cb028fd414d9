#include <functional>

#include "format/beyond_measure.h"
#include "format/figure_text.h"
#include "format/formatter.h"

namespace statlume {

namespace {

constexpr double BytesPerKB = 1024.0;

std::string RateText(const TFiguresBeyond& beyond, const std::string& format, bool written,
                     bool leadZero, bool decimal, const LocaleInfo& locale)
{
    const auto rate = SelectedDiskRate(beyond, format, written);
    return rate ? FigureText(*rate / BytesPerKB, leadZero, decimal, locale) : std::string();
}

} // namespace

TDiskFormat::TDiskFormat(TRawDataShell& shell, const LocaleInfo& locale)
    : TFormatter(shell, locale)
{
    RegisterItem(TItem::DiskRead, std::bind_front(&TDiskFormat::ReadFunc, this));
    RegisterItem(TItem::DiskWrite, std::bind_front(&TDiskFormat::WriteFunc, this));
}

std::string TDiskFormat::ReadFunc(const std::string& format, bool leadZero, bool decimal) const
{
    return RateText(Shell.Beyond, format, false, leadZero, decimal, Locale);
}

std::string TDiskFormat::WriteFunc(const std::string& format, bool leadZero, bool decimal) const
{
    return RateText(Shell.Beyond, format, true, leadZero, decimal, Locale);
}

} // namespace statlume
