#include "display/tray_tooltip.h"

#include <vector>

#include "base/printable_text.h"
#include "format/run_text.h"

namespace statlume {
namespace {

constexpr std::size_t LongestHostShown = 64;

// Host names and addresses need no more; anything else (markup, controls) becomes "?".
std::string SafeHost(const std::string& host)
{
    std::string out;
    for (const char c : host.substr(0, LongestHostShown)) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_' || c == ':' ||
                           c == '%';
        out += plain ? c : '?';
    }
    if (host.size() > LongestHostShown) {
        out += "...";
    }
    // An IPv6 address is bracketed, so its port stays readable.
    return out.find(':') != std::string::npos ? "[" + out + "]" : out;
}

std::string ConnectionsText(std::size_t count)
{
    if (count == 0) {
        return "no connections";
    }
    return std::to_string(count) + (count == 1 ? " connection" : " connections");
}

// A UTF-8 continuation byte does not start a character.
bool StartsCharacter(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
}

} // namespace

std::string TrayToolTip(const TTrayStatus& status)
{
    std::vector<std::string> roles;
    if (!status.ClientHost.empty()) {
        roles.push_back("client of " + SafeHost(status.ClientHost) + ":" +
                        std::to_string(status.ClientPort));
    }
    if (status.ServingPort > 0) {
        roles.push_back("serving on " + std::to_string(status.ServingPort) + ", " +
                        ConnectionsText(status.Connections));
    }
    std::string text = "Statlume";
    for (std::size_t i = 0; i < roles.size(); ++i) {
        text += (i == 0 ? ": " : "; ") + roles[i];
    }
    if (status.PasswordMismatch) {
        text += "\nThe password does not match the server's: its figures cannot be read.";
    }
    if (!status.FiguresFrom.empty()) {
        text += "\nThe server does not answer: the figures are from " + status.FiguresFrom + ".";
    }
    return text;
}

std::string TrayFigureLine(const TRunLine& line)
{
    const std::string text = PrintableText(RunLineText(line, TRunTextStyle{}));
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (StartsCharacter(text[i]) && characters++ == TrayFigureWidth) {
            return text.substr(0, i) + "...";
        }
    }
    return text;
}

std::string TrayFigures(const std::vector<std::string>& lines)
{
    std::size_t shown = lines.size();
    while (shown > 0 && lines[shown - 1].empty()) {
        --shown;
    }
    std::string text;
    for (std::size_t i = 0; i < shown; ++i) {
        text += (i == 0 ? "" : "\n") + lines[i];
    }
    return text;
}

} // namespace statlume
