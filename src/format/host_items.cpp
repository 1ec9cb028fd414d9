#include <functional>

#include "base/ascii_case.h"
#include "base/printable_text.h"
#include "format/date_time_format.h"
#include "format/formatter.h"
#include "format/number_format.h"

namespace statlume {

namespace {

void AppendOctet(std::string& text, std::uint8_t octet, bool padded)
{
    const std::string digits = std::to_string(octet);
    if (padded)
        text.append(3 - digits.size(), ' ');
    text += digits;
}

} // namespace

TNonPerfFormat::TNonPerfFormat(TRawDataShell& shell, const LocaleInfo& locale)
    : TFormatter(shell, locale)
{
    RegisterItem(TItem::IPAddr, std::bind_front(&TNonPerfFormat::IPAddrFunc, this));
    RegisterItem(TItem::CompName, std::bind_front(&TNonPerfFormat::CompNameFunc, this));
    RegisterItem(TItem::UserName, std::bind_front(&TNonPerfFormat::UserNameFunc, this));
    RegisterItem(TItem::DateTime, std::bind_front(&TNonPerfFormat::DateTimeFunc, this));
    RegisterItem(TItem::Blank, std::bind_front(&TNonPerfFormat::BlankFunc, this));
    RegisterItem(TItem::DriveSpace, std::bind_front(&TNonPerfFormat::DriveSpaceFunc, this));
}

void TNonPerfFormat::DecideIfActive(std::string_view templateText)
{
    TFormatter::DecideIfActive(templateText);
    // Each DriveSpace tag registers its letter again on its first rendering.
    for (TDriveEntry& drive : Shell.Data.Drives)
        drive.Letter = 0;
}

std::string TNonPerfFormat::IPAddrFunc(const std::string& format, bool leadZero, bool) const
{
    const std::string_view separator = format.empty() ? std::string_view(", ") : format;
    std::string text;
    bool first = true;
    for (const auto& address : Data().IPAddrs) {
        if (address[0] == 0)
            continue;
        // The separator goes between shown addresses only, so an empty first slot does not
        // leave a separator in front.
        if (!first)
            text += separator;
        first = false;
        for (std::size_t i = 0; i < 4; ++i) {
            if (i > 0)
                text += '.';
            AppendOctet(text, address[i], leadZero);
        }
    }
    return text;
}

// The names come from a peer or a record file as often as from this machine.
std::string TNonPerfFormat::CompNameFunc(const std::string&, bool, bool) const
{
    return PrintableText(Data().ComputerName.Text());
}

std::string TNonPerfFormat::UserNameFunc(const std::string&, bool, bool) const
{
    return PrintableText(Data().LogonName.Text());
}

std::string TNonPerfFormat::DateTimeFunc(const std::string& format, bool, bool) const
{
    return FormatDateTime(format, Data().LocalTime, Locale);
}

std::string TNonPerfFormat::BlankFunc(const std::string&, bool, bool) const
{
    return {};
}

std::string TNonPerfFormat::DriveSpaceFunc(const std::string& format, bool, bool decimal)
{
    if (format.empty())
        return {};
    const char letter = AsciiUpper(format.front());
    // Only A..Z name a drive (0 marks a free slot); any other byte in the record would make a
    // peer drop it as implausible.
    if (letter < 'A' || letter > 'Z')
        return {};
    for (const TDriveEntry& drive : Data().Drives) {
        if (drive.Letter != letter)
            continue;
        const std::string_view pattern = decimal ? "%n" : "%.0n";
        if (FindFolded(format, "FREE") != std::string::npos)
            return FormatFloat(pattern, drive.FreeMB, Locale);
        if (FindFolded(format, "TOTAL") != std::string::npos)
            return FormatFloat(pattern, drive.TotalMB, Locale);
        return {};
    }
    for (TDriveEntry& drive : Shell.Data.Drives) {
        if (drive.Letter == 0) {
            drive.Letter = letter;
            break;
        }
    }
    return {};
}

} // namespace statlume
