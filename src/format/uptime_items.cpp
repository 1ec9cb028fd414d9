#include <functional>

#include "format/formatter.h"
#include "format/number_format.h"

namespace statlume {

namespace {

// Replaces the first occurrence of marker only; a repeated marker stays as written.
void ReplaceFirst(std::string& text, std::string_view marker, std::string_view pattern,
                  std::int64_t value)
{
    const std::size_t pos = text.find(marker);
    if (pos != std::string::npos)
        text.replace(pos, marker.size(), FormatInt(pattern, value));
}

} // namespace

TUTPFormat::TUTPFormat(TRawDataShell& shell, const LocaleInfo& locale)
    : TFormatter(shell, locale)
{
    RegisterItem(TItem::Uptime, std::bind_front(&TUTPFormat::UptimeFunc, this));
    RegisterItem(TItem::Threads, std::bind_front(&TUTPFormat::ThreadsFunc, this));
    RegisterItem(TItem::Processes, std::bind_front(&TUTPFormat::ProcessesFunc, this));
}

std::string TUTPFormat::UpTimeSubFormat(std::string_view pattern, bool leadZero,
                                        std::int64_t seconds)
{
    constexpr std::int64_t SecondsPerDay = 86400;
    const std::int64_t days = seconds / SecondsPerDay;
    std::int64_t rest = seconds - days * SecondsPerDay;
    const std::string_view lowerPattern = leadZero ? "%.2d" : "%d";

    std::string text(pattern);
    // Lower-case day markers pad with a blank, not a zero, even with LEADZERO.
    ReplaceFirst(text, "*d*", leadZero ? "%2d" : "%d", days);
    ReplaceFirst(text, "*D*", "%2d", days);
    const std::int64_t hours = rest / 3600;
    rest -= hours * 3600;
    ReplaceFirst(text, "*h*", lowerPattern, hours);
    ReplaceFirst(text, "*H*", "%.2d", hours);
    const std::int64_t minutes = rest / 60;
    const std::int64_t secs = rest - minutes * 60;
    ReplaceFirst(text, "*m*", lowerPattern, minutes);
    ReplaceFirst(text, "*M*", "%.2d", minutes);
    ReplaceFirst(text, "*s*", lowerPattern, secs);
    ReplaceFirst(text, "*S*", "%.2d", secs);
    return text;
}

std::string TUTPFormat::UptimeFunc(const std::string& format, bool leadZero, bool) const
{
    if (!Shell.Known.System)
        return {};
    return UpTimeSubFormat(format, leadZero, Data().UptimeSecs);
}

std::string TUTPFormat::ThreadsFunc(const std::string&, bool, bool) const
{
    if (!Shell.Known.System)
        return {};
    return std::to_string(Data().ThreadCount);
}

std::string TUTPFormat::ProcessesFunc(const std::string&, bool, bool) const
{
    if (!Shell.Known.System)
        return {};
    return std::to_string(Data().ProcessCount);
}

} // namespace statlume
