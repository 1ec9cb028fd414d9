#include "format/empty_item_rules.h"

#include <algorithm>
#include <array>
#include <vector>

#include "base/ascii_case.h"
#include "format/beyond_values.h"
#include "format/figure_text.h"

namespace statlume {

namespace {

using TRuleCheck = std::string (*)(std::string_view format, const TMachineFacts& facts);

struct TEmptyRule
{
    TItem Item;
    TRuleCheck Check;
};

bool Names(const std::optional<std::vector<std::string>>& names, std::string_view name)
{
    return !names || std::find(names->begin(), names->end(), name) != names->end();
}

std::string Quoted(std::string_view text)
{
    std::string quoted(1, '"');
    quoted.append(text);
    quoted += '"';
    return quoted;
}

std::string CountOf(std::size_t count, std::string_view noun)
{
    std::string text = std::to_string(count) + " ";
    text.append(noun);
    if (count != 1)
        text += 's';
    return text;
}

std::string UptimePattern(std::string_view format, const TMachineFacts&)
{
    return format.empty() ? "FORMAT: none, so it shows nothing (try FORMAT=\"*d* days, *H*:*M*\")"
                          : std::string();
}

std::string Processor(std::string_view format, const TMachineFacts& facts)
{
    const std::int32_t index = ReadFormatIndex(format);
    if (!facts.ProcessorCount || index <= 0 ||
        static_cast<std::size_t>(index) <= *facts.ProcessorCount)
        return {};
    return "FORMAT: no processor " + std::to_string(index) + " here (" +
           CountOf(*facts.ProcessorCount, "processor") + ")";
}

std::string Gpu(std::string_view format, const TMachineFacts& facts)
{
    const auto place = GpuPlace(format);
    if (!place)
        return "FORMAT: names no GPU, so it shows nothing";
    if (!facts.GpuCount || *place <= *facts.GpuCount)
        return {};
    return "FORMAT: no GPU " + std::to_string(*place) + " here (" +
           CountOf(*facts.GpuCount, "GPU") + "), so it shows nothing";
}

std::string Battery(std::string_view format, const TMachineFacts& facts)
{
    if (format.empty() || Names(facts.Batteries, format))
        return {};
    return "FORMAT: no battery " + Quoted(format) + " here, so it shows nothing";
}

std::string Disk(std::string_view format, const TMachineFacts& facts)
{
    if (format.empty() || Names(facts.Disks, format))
        return {};
    return "FORMAT: no disk " + Quoted(format) + " here, so it shows nothing";
}

// Numbers and "b" keep their laid-down reading; other text that names no interface shows the
// total.
std::string Interface(std::string_view format, const TMachineFacts& facts)
{
    if (format.empty() || format == "b" || ReadFormatNumber(format) ||
        Names(facts.Interfaces, format))
        return {};
    return "FORMAT: no interface " + Quoted(format) + " here, so it shows the total";
}

std::string Drive(std::string_view format, const TMachineFacts& facts)
{
    const char letter = format.empty() ? '\0' : AsciiUpper(format.front());
    if (letter < 'A' || letter > 'Z')
        return "FORMAT: no drive letter, so it shows nothing";
    if (!facts.DriveLetters || facts.DriveLetters->find(letter) != std::string::npos)
        return {};
    return "FORMAT: the drive map has no " + std::string(1, letter) + ", so it shows nothing";
}

constexpr std::array Rules{
    TEmptyRule{TItem::Uptime, UptimePattern}, TEmptyRule{TItem::ProcUsage, Processor},
    TEmptyRule{TItem::DriveSpace, Drive},     TEmptyRule{TItem::NetRead, Interface},
    TEmptyRule{TItem::NetWrite, Interface},   TEmptyRule{TItem::DiskRead, Disk},
    TEmptyRule{TItem::DiskWrite, Disk},       TEmptyRule{TItem::BatteryCharge, Battery},
    TEmptyRule{TItem::BatteryState, Battery}, TEmptyRule{TItem::BatteryTime, Battery},
    TEmptyRule{TItem::BatteryPower, Battery}, TEmptyRule{TItem::GPUUsage, Gpu},
    TEmptyRule{TItem::GPUMemUsed, Gpu},       TEmptyRule{TItem::GPUMemTotal, Gpu},
    TEmptyRule{TItem::GPUTemp, Gpu},          TEmptyRule{TItem::GPUPower, Gpu},
    TEmptyRule{TItem::GPUClock, Gpu},         TEmptyRule{TItem::GPUName, Gpu},
};

} // namespace

std::string EmptyItemNote(TItem item, std::string_view format, const TMachineFacts& facts)
{
    const auto rule = std::find_if(Rules.begin(), Rules.end(),
                                   [item](const TEmptyRule& r) { return r.Item == item; });
    return rule == Rules.end() ? std::string() : rule->Check(format, facts);
}

} // namespace statlume
