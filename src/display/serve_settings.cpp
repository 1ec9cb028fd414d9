#include "display/serve_settings.h"

#include <arpa/inet.h>
#include <netinet/in.h>

namespace statlume {

namespace {

/// The most connections per address a setting may ask for.
constexpr std::int32_t MaxPerAddressLimit = 65536;

bool IsAddressLiteral(std::string text)
{
    if (text.size() > 2 && text.front() == '[' && text.back() == ']')
        text = text.substr(1, text.size() - 2);
    in6_addr address{};
    return ::inet_pton(AF_INET, text.c_str(), &address) == 1 ||
           ::inet_pton(AF_INET6, text.c_str(), &address) == 1;
}

// Stored text is shown in messages: control characters from a hand-edited file are not.
std::string Quoted(const std::string& text)
{
    std::string shown = "'";
    for (const char c : text)
        shown += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c;
    return shown + "'";
}

} // namespace

TServeSettings ServeSettingsOf(const TStoredSettings& stored)
{
    TServeSettings settings;
    if (!stored.ServBind.empty()) {
        if (!IsAddressLiteral(stored.ServBind)) {
            settings.Problem =
                "the setting ServBind is no IPv4 or IPv6 address: " + Quoted(stored.ServBind);
            return settings;
        }
        settings.Limits.BindAddress = stored.ServBind;
    }
    if (!stored.ServAllow.empty()) {
        std::string badItem;
        const auto ranges = ParseCidrList(stored.ServAllow, badItem);
        if (!ranges) {
            settings.Problem = "the setting ServAllow needs address ranges (ADDR or ADDR/BITS, "
                               "comma-separated), not " +
                               Quoted(badItem);
            return settings;
        }
        settings.Limits.Allow = *ranges;
    }
    if (stored.ServMaxPerAddress) {
        if (*stored.ServMaxPerAddress < 1 || *stored.ServMaxPerAddress > MaxPerAddressLimit) {
            settings.Problem = "the setting ServMaxPerAddress needs a number from 1 to " +
                               std::to_string(MaxPerAddressLimit) + ", not " +
                               std::to_string(*stored.ServMaxPerAddress);
            return settings;
        }
        settings.Limits.MaxPerAddress = static_cast<std::size_t>(*stored.ServMaxPerAddress);
    }
    return settings;
}

} // namespace statlume
