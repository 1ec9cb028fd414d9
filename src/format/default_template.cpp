#include "format/default_template.h"

#include <string_view>

namespace statlume {

namespace {

// The first non-empty answer in registry order, as the options dialog asks.
std::string DefaultUsageOf(const TFormatterList& formatters, std::string_view displayName)
{
    for (const auto& formatter : formatters) {
        if (!formatter)
            continue;
        std::string usage = formatter->GetDefaultUsage(displayName);
        if (!usage.empty())
            return usage;
    }
    return {};
}

} // namespace

std::string ComposeDefaultTemplate(const TFormatterList& formatters)
{
    const auto usage = [&formatters](std::string_view displayName) {
        return DefaultUsageOf(formatters, displayName);
    };
    const std::string lineBreak = "\r\n";
    return usage("Processor Usage") + lineBreak + usage("System Processes Count") +
           usage("System Thread Count") + lineBreak + usage("Uptime") + lineBreak +
           usage("PageUsed") + "/" + usage("PageTotal") + lineBreak + usage("RAMUsed") + "/" +
           usage("RAMTotal") + lineBreak + usage("Date and Time") + lineBreak +
           usage("IP Addresses") + lineBreak + usage("Computer Name");
}

} // namespace statlume
