#include "format/item_measure.h"

#include <array>
#include <cstdint>
#include <iterator>

#include "base/ascii_case.h"
#include "format/figure_text.h"
#include "record/raw_data.h"

namespace statlume {

namespace {

// Used or free memory in MB against the total, or in percent of it as FORMAT "%" shows it;
// nothing without a total (no swap), which would otherwise read as "0 % free", critical.
std::optional<TMeasure> MemoryPart(std::uint64_t part, std::uint64_t total, std::string_view format)
{
    if (total == 0)
        return std::nullopt;
    if (format == "%") {
        return TMeasure{static_cast<double>(part) / static_cast<double>(total) * 100.0, 100.0};
    }
    return TMeasure{static_cast<double>(part) / BytesPerMB,
                    static_cast<double>(total) / BytesPerMB};
}

std::uint64_t Used(std::uint64_t total, std::uint64_t free)
{
    return free > total ? 0 : total - free;
}

std::optional<TMeasure> Indexed(const float (&values)[5], std::string_view format, double maximum)
{
    const std::int32_t index = ReadFormatIndex(format);
    if (index < 0 || index >= static_cast<std::int32_t>(std::size(values)))
        return std::nullopt;
    return TMeasure{values[index], maximum};
}

std::optional<TMeasure> NetRate(const float (&rates)[5], std::string_view format)
{
    if (format == "b")
        return TMeasure{rates[0] * 8.0, 0};
    return Indexed(rates, format, 0);
}

std::optional<TMeasure> Drive(const TRawData& data, std::string_view format)
{
    if (format.empty())
        return std::nullopt;
    const char letter = AsciiUpper(format.front());
    for (const TDriveEntry& drive : data.Drives) {
        if (letter < 'A' || letter > 'Z' || drive.Letter != letter)
            continue;
        // A drive has some size: none means not measured yet (an entry just made) or unreadable.
        if (!(drive.TotalMB > 0))
            return std::nullopt;
        if (FindFolded(format, "FREE") != std::string_view::npos)
            return TMeasure{drive.FreeMB, drive.TotalMB};
        if (FindFolded(format, "TOTAL") != std::string_view::npos)
            return TMeasure{drive.TotalMB, 0};
        return std::nullopt;
    }
    return std::nullopt;
}

// Rates show no value until two samples exist; an index outside the table selects nothing.
bool EntryKnown(const std::array<bool, 5>& known, std::string_view format)
{
    const std::int32_t index = ReadFormatIndex(format);
    return index < 0 || index >= static_cast<std::int32_t>(known.size()) ||
           known[static_cast<std::size_t>(index)];
}

double Temperature(std::int16_t celsius, std::string_view format)
{
    return format == "F" || format == "f" ? celsius * 9.0 / 5.0 + 32.0 : celsius;
}

} // namespace

std::optional<TMeasure> MeasureItem(const TRawData& data, std::string_view upperTagName,
                                    std::string_view format)
{
    const std::string_view tag = upperTagName;
    if (tag.starts_with("TEMP") && tag.size() == 5 && tag[4] >= '1' && tag[4] <= '3')
        return TMeasure{Temperature(data.Temps[tag[4] - '1'], format), 0};
    if (tag.starts_with("FAN") && tag.size() == 4 && tag[3] >= '1' && tag[3] <= '3') {
        const std::int32_t speed = data.Fans[tag[3] - '1'];
        return TMeasure{speed == 255 ? 0.0 : speed, 0};
    }
    if (tag == "THREADS")
        return TMeasure{static_cast<double>(data.ThreadCount), 0};
    if (tag == "PROCESSES")
        return TMeasure{static_cast<double>(data.ProcessCount), 0};
    if (tag == "PAGETOTAL")
        return TMeasure{static_cast<double>(PageTotalBytes64(data)) / BytesPerMB, 0};
    if (tag == "RAMTOTAL")
        return TMeasure{static_cast<double>(RAMTotalBytes64(data)) / BytesPerMB, 0};
    if (tag == "PAGEUSED") {
        const std::uint64_t total = PageTotalBytes64(data);
        return MemoryPart(Used(total, PageFreeBytes64(data)), total, format);
    }
    if (tag == "PAGEFREE")
        return MemoryPart(PageFreeBytes64(data), PageTotalBytes64(data), format);
    if (tag == "RAMUSED") {
        const std::uint64_t total = RAMTotalBytes64(data);
        return MemoryPart(Used(total, RAMFreeBytes64(data)), total, format);
    }
    if (tag == "RAMFREE")
        return MemoryPart(RAMFreeBytes64(data), RAMTotalBytes64(data), format);
    if (tag == "PROCUSAGE")
        return Indexed(data.ProcUsage, format, 100.0);
    if (tag == "NETREAD")
        return NetRate(data.NetRead, format);
    if (tag == "NETWRITE")
        return NetRate(data.NetWrite, format);
    if (tag == "DRIVESPACE")
        return Drive(data, format);
    return std::nullopt;
}

bool FigureKnown(const TFigureKnown& known, std::string_view upperTagName, std::string_view format)
{
    const std::string_view tag = upperTagName;
    if (tag == "PROCUSAGE")
        return EntryKnown(known.Proc, format);
    if (tag == "NETREAD" || tag == "NETWRITE")
        return EntryKnown(known.Net, format);
    if (tag == "UPTIME" || tag == "THREADS" || tag == "PROCESSES")
        return known.System;
    return true;
}

} // namespace statlume
