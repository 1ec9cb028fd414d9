#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

namespace statlume {

/// The user name and password of a Basic Authorization header.
struct TBasicCredentials
{
    std::string User;
    std::string Password;
};

/// Reads an Authorization header value "Basic BASE64(user:password)"; nothing when it is no
/// such thing (another scheme, bad base64, no colon).
std::optional<TBasicCredentials> ParseBasicAuthorization(std::string_view value);

/// True when password matches the bcrypt hash; the outcome is compared in constant time.
/// Takes as long as the hash's cost asks (about 70 ms at cost 10); safe on any thread.
bool BcryptMatches(const std::string& hash, const std::string& password);

/// The users of a web configuration and the credentials already verified, so a scraper pays
/// for bcrypt once, not on every scrape.
class TBasicAuth
{
public:
    /// User name to bcrypt hash.
    explicit TBasicAuth(std::map<std::string, std::string> users);

    /// The hash to check credentials against: the user's, or for an unknown user a stand-in
    /// at the highest cost among the users' hashes (so refusing a stranger takes as long as
    /// the dearest user) that matches nothing the user could send.
    const std::string& HashFor(const std::string& user) const;
    /// True when user is one of the configuration's.
    bool Knows(const std::string& user) const;
    /// True when exactly these credentials were verified before.
    bool Verified(const TBasicCredentials& credentials) const;
    /// Remembers credentials that bcrypt has just verified (at most MaxRemembered sets).
    void Remember(const TBasicCredentials& credentials);

    static constexpr std::size_t MaxRemembered = 64;

private:
    /// A digest of user, hash and password: the password itself is never kept, and a new
    /// hash for the user (or another password) is another key. Nothing when digesting fails.
    std::optional<std::string> KeyOf(const TBasicCredentials& credentials) const;

    std::map<std::string, std::string> Users;
    std::string StandIn;
    std::unordered_set<std::string> Remembered;
};

} // namespace statlume
