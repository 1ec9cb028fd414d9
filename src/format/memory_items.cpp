#include <functional>

#include "format/formatter.h"
#include "format/number_format.h"
#include "record/raw_data.h"

namespace statlume {

namespace {

// Free and used figures are held as single precision before formatting, so their last
// digits are those of a float.
std::string PartText(std::uint64_t part, std::uint64_t total, const std::string& format,
                     bool decimal, const LocaleInfo& locale)
{
    float value = 0;
    if (format == "%") {
        // An empty total has no share to show; 0 rather than a division by zero.
        value = total == 0 ? 0.0f
                           : static_cast<float>(static_cast<double>(part) /
                                                static_cast<double>(total) * 100.0);
    } else {
        value = static_cast<float>(static_cast<double>(part) / BytesPerMB);
    }
    return FormatFloat(decimal ? "%f" : "%.0f", value, locale);
}

std::string TotalText(std::uint64_t total, bool decimal, const LocaleInfo& locale)
{
    return FormatFloat(decimal ? "%.2f" : "%.0f", static_cast<double>(total) / BytesPerMB, locale);
}

// Free above total (a malformed record) shows nothing used instead of a wrapped figure.
std::uint64_t UsedBytes(std::uint64_t total, std::uint64_t free)
{
    return free > total ? 0 : total - free;
}

} // namespace

TPageRAMFormat::TPageRAMFormat(TRawDataShell& shell, const LocaleInfo& locale)
    : TFormatter(shell, locale)
{
    RegisterItem(TItem::PageTotal, std::bind_front(&TPageRAMFormat::PageTotalFunc, this));
    RegisterItem(TItem::PageUsed, std::bind_front(&TPageRAMFormat::PageUsedFunc, this));
    RegisterItem(TItem::PageFree, std::bind_front(&TPageRAMFormat::PageFreeFunc, this));
    RegisterItem(TItem::RAMTotal, std::bind_front(&TPageRAMFormat::RAMTotalFunc, this));
    RegisterItem(TItem::RAMUsed, std::bind_front(&TPageRAMFormat::RAMUsedFunc, this));
    RegisterItem(TItem::RAMFree, std::bind_front(&TPageRAMFormat::RAMFreeFunc, this));
}

std::string TPageRAMFormat::PageTotalFunc(const std::string&, bool, bool decimal) const
{
    return TotalText(PageTotalBytes64(Data()), decimal, Locale);
}

std::string TPageRAMFormat::PageUsedFunc(const std::string& format, bool, bool decimal) const
{
    const std::uint64_t total = PageTotalBytes64(Data());
    return PartText(UsedBytes(total, PageFreeBytes64(Data())), total, format, decimal, Locale);
}

std::string TPageRAMFormat::PageFreeFunc(const std::string& format, bool, bool decimal) const
{
    return PartText(PageFreeBytes64(Data()), PageTotalBytes64(Data()), format, decimal, Locale);
}

std::string TPageRAMFormat::RAMTotalFunc(const std::string&, bool, bool decimal) const
{
    return TotalText(RAMTotalBytes64(Data()), decimal, Locale);
}

std::string TPageRAMFormat::RAMUsedFunc(const std::string& format, bool, bool decimal) const
{
    const std::uint64_t total = RAMTotalBytes64(Data());
    return PartText(UsedBytes(total, RAMFreeBytes64(Data())), total, format, decimal, Locale);
}

std::string TPageRAMFormat::RAMFreeFunc(const std::string& format, bool, bool decimal) const
{
    return PartText(RAMFreeBytes64(Data()), RAMTotalBytes64(Data()), format, decimal, Locale);
}

} // namespace statlume
