#include "exporter/metrics_auth.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <memory>

#include <boost/beast/core/detail/base64.hpp>
#include <crypt.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>

namespace statlume {

namespace {

namespace base64 = boost::beast::detail::base64;

// Salt and digest of a bcrypt hash of a random password nobody knows; any cost in front of it
// gives a hash no password is known to match.
constexpr std::string_view StandInBody = "p5K7pm4keGgjL9aqyxvR9u9WQ/yBapJFycyJoidBs15O.pJY8BezW";
constexpr int UsualCost = 10;

/// The cost of a "$2y$NN$..." hash; nothing when it is not one.
std::optional<int> CostOf(const std::string& hash)
{
    if (hash.size() < 7 || hash[0] != '$' || hash[3] != '$' || hash[6] != '$' ||
        !std::isdigit(static_cast<unsigned char>(hash[4])) ||
        !std::isdigit(static_cast<unsigned char>(hash[5])))
        return std::nullopt;
    return (hash[4] - '0') * 10 + (hash[5] - '0');
}

std::string StandInFor(const std::map<std::string, std::string>& users)
{
    int cost = 0;
    for (const auto& [user, hash] : users)
        cost = std::max(cost, CostOf(hash).value_or(0));
    if (cost < 4 || cost > 31)
        cost = UsualCost;
    const char digits[] = {static_cast<char>('0' + cost / 10), static_cast<char>('0' + cost % 10)};
    return "$2y$" + std::string(digits, 2) + "$" + std::string(StandInBody);
}

bool IsBase64(std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const bool padding = c == '=' && i + 2 >= text.size() &&
                             text.find_first_not_of('=', i) == std::string_view::npos;
        if (!std::isalnum(c) && c != '+' && c != '/' && !padding)
            return false;
    }
    return text.size() % 4 == 0;
}

} // namespace

std::optional<TBasicCredentials> ParseBasicAuthorization(std::string_view value)
{
    constexpr std::string_view Scheme = "basic ";
    if (value.size() <= Scheme.size())
        return std::nullopt;
    for (std::size_t i = 0; i < Scheme.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(value[i])) != Scheme[i])
            return std::nullopt;
    }
    std::string_view encoded = value.substr(Scheme.size());
    encoded.remove_prefix(std::min(encoded.find_first_not_of(' '), encoded.size()));
    encoded.remove_suffix(encoded.size() - (encoded.find_last_not_of(' ') + 1));
    if (encoded.empty() || !IsBase64(encoded))
        return std::nullopt;
    std::string decoded(base64::decoded_size(encoded.size()), '\0');
    const auto [written, read] = base64::decode(decoded.data(), encoded.data(), encoded.size());
    // The decoder stops at the padding.
    if (read != encoded.find_last_not_of('=') + 1)
        return std::nullopt;
    decoded.resize(written);
    const auto colon = decoded.find(':');
    if (colon == std::string::npos)
        return std::nullopt;
    return TBasicCredentials{decoded.substr(0, colon), decoded.substr(colon + 1)};
}

bool BcryptMatches(const std::string& hash, const std::string& password)
{
    // crypt_r stops at a NUL: "secret\0anything" must not pass for "secret".
    if (password.find('\0') != std::string::npos)
        return false;
    // crypt_data is large (about 32 KiB): on the heap, zeroed as crypt_r asks.
    const auto data = std::make_unique<crypt_data>();
    const char* const result = crypt_r(password.c_str(), hash.c_str(), data.get());
    if (result == nullptr || result[0] == '*')
        return false;
    const std::string_view computed(result);
    return computed.size() == hash.size() &&
           CRYPTO_memcmp(computed.data(), hash.data(), hash.size()) == 0;
}

TBasicAuth::TBasicAuth(std::map<std::string, std::string> users)
    : Users(std::move(users))
    , StandIn(StandInFor(Users))
{
}

const std::string& TBasicAuth::HashFor(const std::string& user) const
{
    const auto at = Users.find(user);
    return at == Users.end() ? StandIn : at->second;
}

bool TBasicAuth::Knows(const std::string& user) const
{
    return Users.count(user) != 0;
}

bool TBasicAuth::Verified(const TBasicCredentials& credentials) const
{
    const auto key = KeyOf(credentials);
    return key && Knows(credentials.User) && Remembered.count(*key) != 0;
}

void TBasicAuth::Remember(const TBasicCredentials& credentials)
{
    const auto key = KeyOf(credentials);
    if (!key || !Knows(credentials.User))
        return;
    if (Remembered.size() >= MaxRemembered)
        Remembered.clear();
    Remembered.insert(*key);
}

std::optional<std::string> TBasicAuth::KeyOf(const TBasicCredentials& credentials) const
{
    // Lengths first, so no split of the same bytes into other fields gives the same key.
    std::string input = std::to_string(credentials.User.size()) + ':' + credentials.User +
                        std::to_string(credentials.Password.size()) + ':' + credentials.Password +
                        HashFor(credentials.User);
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int length = 0;
    if (EVP_Digest(input.data(), input.size(), digest.data(), &length, EVP_sha256(), nullptr) != 1)
        length = 0;
    OPENSSL_cleanse(input.data(), input.size());
    if (length == 0)
        return std::nullopt;
    return std::string(reinterpret_cast<const char*>(digest.data()), length);
}

} // namespace statlume
