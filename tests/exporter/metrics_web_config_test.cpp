#include <string>

#include "exporter/metrics_web_config.h"
#include "exporter/test_hashes.h"

#include <gtest/gtest.h>

namespace statlume {
namespace {

TEST(MetricsWebConfig, ReadsEverySectionWithPathsFromTheFilesFolder)
{
    const std::string text = "tls_server_config:\n"
                             "  cert_file: tls/server.crt\n"
                             "  key_file: /etc/keys/server.key\n"
                             "  client_auth_type: RequireAndVerifyClientCert\n"
                             "  client_ca_file: ca.crt\n"
                             "  min_version: TLS13\n"
                             "  cipher_suites: [TLS_ECDHE_RSA_WITH_AES_128_GCM_SHA256]\n"
                             "  curve_preferences: [X25519, CurveP256]\n"
                             "  prefer_server_cipher_suites: false\n"
                             "  client_allowed_sans: [scraper.example]\n"
                             "http_server_config:\n"
                             "  http2: false\n"
                             "  headers:\n"
                             "    Strict-Transport-Security: max-age=31536000\n"
                             "basic_auth_users:\n"
                             "  prometheus: " +
                             Cost4Hash + "\n";
    std::string reason;
    const auto config = ParseWebConfig(text, "/srv/web", reason);
    ASSERT_TRUE(config) << reason;
    ASSERT_TRUE(config->Tls);
    EXPECT_EQ(config->Tls->CertFile, "/srv/web/tls/server.crt");
    EXPECT_EQ(config->Tls->KeyFile, "/etc/keys/server.key");
    EXPECT_EQ(config->Tls->ClientCaFile, "/srv/web/ca.crt");
    EXPECT_EQ(config->Tls->ClientAuth, TClientAuth::RequireAndVerifyClientCert);
    EXPECT_EQ(config->Tls->MinVersion, 0x0304);
    EXPECT_EQ(config->Tls->MaxVersion, 0);
    EXPECT_EQ(config->Tls->Curves, (std::vector<std::string>{"X25519", "P-256"}));
    EXPECT_FALSE(config->Tls->PreferServerCipherSuites);
    EXPECT_EQ(config->Tls->ClientAllowedSans, std::vector<std::string>{"scraper.example"});
    EXPECT_EQ(config->Users.at("prometheus"), Cost4Hash);
    ASSERT_EQ(config->Headers.size(), 1u);
    EXPECT_EQ(config->Headers[0].first, "Strict-Transport-Security");
}

TEST(MetricsWebConfig, EmptyOrPasswordOnlyIsPlainHttp)
{
    std::string reason;
    const auto empty = ParseWebConfig("", "/x", reason);
    ASSERT_TRUE(empty);
    EXPECT_FALSE(empty->Tls);
    const auto users =
        ParseWebConfig("tls_server_config: {}\nbasic_auth_users:\n  a: " + Cost4Hash, "/x", reason);
    ASSERT_TRUE(users) << reason;
    EXPECT_FALSE(users->Tls);
    EXPECT_EQ(users->Users.size(), 1u);
}

TEST(MetricsWebConfig, RefusesWhatCannotBeServedSafely)
{
    struct TCase
    {
        const char* name;
        std::string text;
        const char* reasonHas;
    };
    const std::string tls = "tls_server_config:\n  cert_file: a.crt\n  key_file: a.key\n";
    const TCase cases[] = {
        {"unknown top key", "tls_config: {}\n", "tls_config"},
        {"unknown tls key", tls + "  cert_flie: b\n", "cert_flie"},
        {"no key file", "tls_server_config:\n  cert_file: a.crt\n", "key_file"},
        {"unknown version", tls + "  min_version: SSL3\n", "SSL3"},
        {"max below min", tls + "  min_version: TLS13\n  max_version: TLS12\n", "max_version"},
        {"unknown client auth", tls + "  client_auth_type: Maybe\n", "Maybe"},
        {"verify without a CA", tls + "  client_auth_type: RequireAndVerifyClientCert\n",
         "client_ca_file"},
        {"allowed names without verifying", tls + "  client_allowed_sans: [a]\n",
         "client_allowed_sans"},
        {"not bcrypt", "basic_auth_users:\n  a: $6$salt$abcdefghijklmnop\n", "bcrypt"},
        {"bcrypt cut short", "basic_auth_users:\n  a: " + Cost4Hash.substr(0, 59) + "\n", "bcrypt"},
        {"colon in a user", "basic_auth_users:\n  'a:b': " + Cost4Hash + "\n", "a:b"},
        {"reserved header", "http_server_config:\n  headers:\n    content-type: x\n",
         "content-type"},
        {"header injection", "http_server_config:\n  headers:\n    X-A: \"a\\r\\nX-B: b\"\n",
         "control"},
        {"bad header name", "http_server_config:\n  headers:\n    'X A': b\n", "not valid"},
        {"unknown http key", "http_server_config:\n  gzip: true\n", "gzip"},
        {"bad yaml", "tls_server_config: [oops\n", "yaml-cpp"},
        {"a list for a string", "tls_server_config:\n  cert_file: [a]\n  key_file: b\n",
         "cert_file"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string reason;
        EXPECT_FALSE(ParseWebConfig(c.text, "/x", reason));
        EXPECT_NE(reason.find(c.reasonHas), std::string::npos) << reason;
        EXPECT_EQ(reason.find('\n'), std::string::npos) << reason;
    }
}

} // namespace
} // namespace statlume
