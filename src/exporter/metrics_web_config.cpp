#include "exporter/metrics_web_config.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <exception>
#include <set>

#include <crypt.h>
#include <yaml-cpp/yaml.h>

namespace statlume {

namespace {

/// A mistake in the file, thrown inside the parser and turned into the reason.
struct TConfigError
{
    std::string Text;
};

[[noreturn]] void Fail(std::string text)
{
    throw TConfigError{std::move(text)};
}

std::string Lower(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

// Names and values from the file end up in messages: never print what a terminal would
// act on.
std::string Printable(std::string_view text, std::size_t limit = 80)
{
    std::string shown;
    for (const char c : text.substr(0, limit))
        shown += (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) ? '?' : c;
    return shown;
}

void RefuseUnknownKeys(const YAML::Node& map, std::string_view where,
                       std::initializer_list<std::string_view> known)
{
    if (!map.IsMap())
        Fail(std::string(where) + " must be a mapping");
    for (const auto& item : map) {
        const std::string key = item.first.as<std::string>();
        if (std::find(known.begin(), known.end(), key) == known.end())
            Fail("unknown key \"" + Printable(key) + "\" in " + std::string(where));
    }
}

std::string Text(const YAML::Node& node, std::string_view name)
{
    if (!node.IsScalar())
        Fail(std::string(name) + " must be a string");
    return node.as<std::string>();
}

std::vector<std::string> TextList(const YAML::Node& node, std::string_view name)
{
    if (!node || node.IsNull())
        return {};
    if (!node.IsSequence())
        Fail(std::string(name) + " must be a list");
    std::vector<std::string> list;
    for (const auto& item : node)
        list.push_back(Text(item, name));
    return list;
}

std::string PathIn(const std::string& folder, std::string path)
{
    if (path.empty() || path.front() == '/' || folder.empty())
        return path;
    return folder + "/" + path;
}

int VersionOf(const std::string& name, std::string_view key)
{
    static constexpr std::array<std::pair<std::string_view, int>, 4> Versions = {
        {{"TLS10", 0x0301}, {"TLS11", 0x0302}, {"TLS12", 0x0303}, {"TLS13", 0x0304}}};
    for (const auto& [text, value] : Versions) {
        if (text == name)
            return value;
    }
    Fail(std::string(key) + " \"" + Printable(name) + "\" is not TLS10, TLS11, TLS12 or TLS13");
}

TClientAuth ClientAuthOf(const std::string& name)
{
    static constexpr std::array<std::pair<std::string_view, TClientAuth>, 5> Kinds = {{
        {"NoClientCert", TClientAuth::NoClientCert},
        {"RequestClientCert", TClientAuth::RequestClientCert},
        {"RequireAnyClientCert", TClientAuth::RequireAnyClientCert},
        {"VerifyClientCertIfGiven", TClientAuth::VerifyClientCertIfGiven},
        {"RequireAndVerifyClientCert", TClientAuth::RequireAndVerifyClientCert},
    }};
    for (const auto& [text, kind] : Kinds) {
        if (text == name)
            return kind;
    }
    Fail("client_auth_type \"" + Printable(name) + "\" is not known");
}

std::string CurveOf(const std::string& name)
{
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 4> Curves = {
        {{"CurveP256", "P-256"},
         {"CurveP384", "P-384"},
         {"CurveP521", "P-521"},
         {"X25519", "X25519"}}};
    for (const auto& [text, openssl] : Curves) {
        if (text == name)
            return std::string(openssl);
    }
    Fail("curve_preferences \"" + Printable(name) + "\" is not known");
}

TTlsServerConfig ReadTls(const YAML::Node& node, const std::string& folder)
{
    RefuseUnknownKeys(node, "tls_server_config",
                      {"cert_file", "key_file", "client_auth_type", "client_ca_file", "min_version",
                       "max_version", "cipher_suites", "curve_preferences",
                       "prefer_server_cipher_suites", "client_allowed_sans"});
    TTlsServerConfig tls;
    const auto text = [&](const char* key) {
        return node[key] ? Text(node[key], key) : std::string();
    };
    tls.CertFile = PathIn(folder, text("cert_file"));
    tls.KeyFile = PathIn(folder, text("key_file"));
    tls.ClientCaFile = PathIn(folder, text("client_ca_file"));
    if (tls.CertFile.empty())
        Fail("tls_server_config needs cert_file");
    if (tls.KeyFile.empty())
        Fail("tls_server_config needs key_file");
    if (node["client_auth_type"])
        tls.ClientAuth = ClientAuthOf(text("client_auth_type"));
    const bool verifies = tls.ClientAuth == TClientAuth::VerifyClientCertIfGiven ||
                          tls.ClientAuth == TClientAuth::RequireAndVerifyClientCert;
    if (verifies && tls.ClientCaFile.empty())
        Fail("client_auth_type " + text("client_auth_type") + " needs client_ca_file");
    if (!verifies && !tls.ClientCaFile.empty())
        Fail("client_ca_file needs client_auth_type VerifyClientCertIfGiven or "
             "RequireAndVerifyClientCert");
    if (node["min_version"])
        tls.MinVersion = VersionOf(text("min_version"), "min_version");
    if (node["max_version"])
        tls.MaxVersion = VersionOf(text("max_version"), "max_version");
    if (tls.MaxVersion != 0 && tls.MaxVersion < tls.MinVersion)
        Fail("max_version is older than min_version");
    tls.CipherSuites = TextList(node["cipher_suites"], "cipher_suites");
    for (const auto& curve : TextList(node["curve_preferences"], "curve_preferences"))
        tls.Curves.push_back(CurveOf(curve));
    if (node["prefer_server_cipher_suites"])
        tls.PreferServerCipherSuites = node["prefer_server_cipher_suites"].as<bool>();
    tls.ClientAllowedSans = TextList(node["client_allowed_sans"], "client_allowed_sans");
    if (!tls.ClientAllowedSans.empty() && !verifies)
        Fail("client_allowed_sans needs client_auth_type RequireAndVerifyClientCert or "
             "VerifyClientCertIfGiven");
    return tls;
}

bool IsBcrypt(const std::string& hash)
{
    static constexpr std::array<std::string_view, 3> Prefixes = {"$2y$", "$2b$", "$2a$"};
    const bool prefixed = std::any_of(Prefixes.begin(), Prefixes.end(), [&](auto prefix) {
        return hash.compare(0, prefix.size(), prefix) == 0;
    });
    return prefixed && hash.size() == 60 && crypt_checksalt(hash.c_str()) == CRYPT_SALT_OK;
}

std::map<std::string, std::string> ReadUsers(const YAML::Node& node)
{
    if (!node || node.IsNull())
        return {};
    if (!node.IsMap())
        Fail("basic_auth_users must be a mapping of user names to bcrypt hashes");
    std::map<std::string, std::string> users;
    for (const auto& item : node) {
        const std::string user = Text(item.first, "a basic_auth_users name");
        const std::string hash = Text(item.second, "a basic_auth_users hash");
        // A colon cannot come through Basic authentication, which splits at the first one.
        if (user.empty() || user.find(':') != std::string::npos)
            Fail("basic_auth_users: \"" + Printable(user) + "\" is no user name");
        if (!IsBcrypt(hash))
            Fail("basic_auth_users: the hash of \"" + Printable(user) +
                 "\" is not bcrypt (make it with htpasswd -nBC 10 \"\" | tr -d ':\\n')");
        users.emplace(user, hash);
    }
    return users;
}

bool IsToken(std::string_view name)
{
    static constexpr std::string_view Extra = "!#$%&'*+-.^_`|~";
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) ||
               Extra.find(c) != std::string_view::npos;
    });
}

std::vector<std::pair<std::string, std::string>> ReadHeaders(const YAML::Node& node)
{
    // Headers the exporter writes itself, or that speak for the connection or the password.
    static const std::set<std::string, std::less<>> Reserved = {
        "authorization", "proxy-authorization", "www-authenticate", "proxy-authenticate",
        "content-type",  "content-length",      "content-encoding", "transfer-encoding",
        "connection",    "keep-alive",          "upgrade",          "allow",
        "retry-after",   "set-cookie",          "trailer",          "te"};
    if (!node || node.IsNull())
        return {};
    if (!node.IsMap())
        Fail("http_server_config.headers must be a mapping");
    std::vector<std::pair<std::string, std::string>> headers;
    for (const auto& item : node) {
        const std::string name = Text(item.first, "a header name");
        const std::string value = Text(item.second, "a header value");
        if (!IsToken(name))
            Fail("header name \"" + Printable(name) + "\" is not valid");
        if (Reserved.count(Lower(name)) != 0)
            Fail("header \"" + name + "\" cannot be set in the web configuration");
        if (std::any_of(value.begin(), value.end(), [](char c) {
                return (static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7f;
            }))
            Fail("the value of header \"" + name + "\" holds a control character");
        headers.emplace_back(name, value);
    }
    return headers;
}

TWebConfig ReadConfig(const YAML::Node& root, const std::string& folder)
{
    TWebConfig config;
    if (root.IsNull())
        return config;
    RefuseUnknownKeys(root, "the web configuration",
                      {"tls_server_config", "http_server_config", "basic_auth_users"});
    // An empty section (every key absent) is plain HTTP, as the exporters treat it.
    if (const auto tls = root["tls_server_config"]; tls && !tls.IsNull() && tls.size() != 0)
        config.Tls = ReadTls(tls, folder);
    if (const auto http = root["http_server_config"]; http && !http.IsNull()) {
        RefuseUnknownKeys(http, "http_server_config", {"http2", "headers"});
        if (http["http2"])
            (void)http["http2"].as<bool>();
        config.Headers = ReadHeaders(http["headers"]);
    }
    if (root["basic_auth_users"])
        config.Users = ReadUsers(root["basic_auth_users"]);
    return config;
}

} // namespace

std::optional<TWebConfig> ParseWebConfig(std::string_view text, const std::string& folder,
                                         std::string& reason)
{
    try {
        return ReadConfig(YAML::Load(std::string(text)), folder);
    } catch (const TConfigError& error) {
        reason = error.Text;
    } catch (const YAML::Exception& error) {
        reason = Printable(error.what(), 200);
    }
    return std::nullopt;
}

} // namespace statlume
