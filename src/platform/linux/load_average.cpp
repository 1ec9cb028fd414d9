#include "platform/linux/load_average.h"

#include <charconv>
#include <cmath>

#include "platform/linux/line_scan.h"
#include "platform/linux/small_file.h"

namespace statlume::platform {

namespace {

std::optional<double> NextLoad(std::string_view& text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    double value = 0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    if (error != std::errc() || !std::isfinite(value) || value < 0)
        return std::nullopt;
    if (end != text.data() + text.size() && !IsBlank(*end))
        return std::nullopt;
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    return value;
}

} // namespace

std::optional<TLoadAverage> ParseLoadAverage(std::string_view text)
{
    const auto one = NextLoad(text);
    const auto five = NextLoad(text);
    const auto fifteen = NextLoad(text);
    if (!one || !five || !fifteen)
        return std::nullopt;
    return TLoadAverage{*one, *five, *fifteen};
}

std::optional<TLoadAverage> ReadLoadAverage(const std::string& procfsRoot)
{
    const auto text = ReadSmallFile(procfsRoot + "/loadavg");
    return text ? ParseLoadAverage(*text) : std::nullopt;
}

} // namespace statlume::platform
