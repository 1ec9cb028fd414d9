#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace statlume {

/// Which client certificates a TLS listener asks for and checks.
enum class TClientAuth
{
    NoClientCert,
    RequestClientCert,
    RequireAnyClientCert,
    VerifyClientCertIfGiven,
    RequireAndVerifyClientCert,
};

/// The tls_server_config section of a web configuration; paths are absolute (a relative one
/// is taken from the configuration file's folder).
struct TTlsServerConfig
{
    std::string CertFile;
    std::string KeyFile;
    std::string ClientCaFile;
    TClientAuth ClientAuth = TClientAuth::NoClientCert;
    /// Protocol versions as on the wire (TLS 1.2 = 0x0303); MaxVersion 0 = the newest.
    int MinVersion = 0x0303;
    int MaxVersion = 0;
    /// IANA names of the TLS 1.2 and older suites allowed; empty = the library's defaults.
    std::vector<std::string> CipherSuites;
    /// Named groups in OpenSSL's spelling ("P-256", "X25519"); empty = the defaults.
    std::vector<std::string> Curves;
    bool PreferServerCipherSuites = true;
    /// A verified client certificate must name one of these among its alternative names;
    /// empty = any.
    std::vector<std::string> ClientAllowedSans;

    /// True when every setting is the same.
    bool operator==(const TTlsServerConfig&) const = default;
};

/// A web configuration file as Prometheus exporters take it.
struct TWebConfig
{
    /// Nothing: plain HTTP.
    std::optional<TTlsServerConfig> Tls;
    /// User name to bcrypt hash; empty = no password asked.
    std::map<std::string, std::string> Users;
    /// Extra headers on every reply, in the file's order.
    std::vector<std::pair<std::string, std::string>> Headers;
};

/// Reads the text of a web configuration whose file lies in folder; nothing, with one line
/// saying what is wrong in reason, for bad YAML, an unknown key or value, a hash that is not
/// bcrypt, or a header the exporter sets itself.
std::optional<TWebConfig> ParseWebConfig(std::string_view text, const std::string& folder,
                                         std::string& reason);

} // namespace statlume
