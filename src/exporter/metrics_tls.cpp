#include "exporter/metrics_tls.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/linux/regular_file.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

namespace statlume {

namespace {

/// A failed step, with the TLS library's own reason where it gave one.
bool Failed(const std::error_code& error, const std::string& what, std::string& reason)
{
    if (!error)
        return false;
    reason = what + ": " + error.message();
    return true;
}

bool OpenSslFailed(bool ok, const std::string& what, std::string& reason)
{
    if (ok)
        return false;
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    std::array<char, 256> text{};
    if (code != 0)
        ERR_error_string_n(code, text.data(), text.size());
    reason = what + (code != 0 ? std::string(": ") + text.data() : std::string());
    return true;
}

std::optional<std::string> ReadFile(const std::string& path, const char* what, std::string& reason)
{
    // Certificates, keys and authorities are a few KB; a chain of many stays far below this.
    constexpr std::size_t maxPemFileSize = 16 * 1024 * 1024;
    std::string why;
    auto text = platform::ReadRegularFile(path, maxPemFileSize, why);
    if (!text)
        reason = std::string("cannot read ") + what + " " + path + ": " + why;
    return text;
}

/// OpenSSL's names of the TLS 1.2 and older suites given by their IANA names.
std::optional<std::string> CipherList(SSL_CTX* context, const std::vector<std::string>& names,
                                      std::string& reason)
{
    const STACK_OF(SSL_CIPHER)* known = SSL_CTX_get_ciphers(context);
    std::string list;
    for (const auto& name : names) {
        const SSL_CIPHER* found = nullptr;
        for (int i = 0; known != nullptr && i < sk_SSL_CIPHER_num(known); ++i) {
            const SSL_CIPHER* cipher = sk_SSL_CIPHER_value(known, i);
            const char* standard = SSL_CIPHER_standard_name(cipher);
            if (standard != nullptr && name == standard)
                found = cipher;
        }
        if (found == nullptr) {
            reason = "cipher suite " + name + " is not known";
            return std::nullopt;
        }
        // TLS 1.3 suites are not chosen by the file, as in other exporters.
        if (std::string_view(SSL_CIPHER_get_version(found)) == "TLSv1.3")
            continue;
        if (!list.empty())
            list += ':';
        list += SSL_CIPHER_get_name(found);
    }
    return list;
}

/// The alternative names of a certificate as text: DNS names, e-mail addresses, URIs and
/// IP addresses.
std::vector<std::string> AlternativeNames(X509* certificate)
{
    std::vector<std::string> names;
    auto* general = static_cast<GENERAL_NAMES*>(
        X509_get_ext_d2i(certificate, NID_subject_alt_name, nullptr, nullptr));
    if (general == nullptr)
        return names;
    for (int i = 0; i < sk_GENERAL_NAME_num(general); ++i) {
        const GENERAL_NAME* name = sk_GENERAL_NAME_value(general, i);
        if (name->type == GEN_DNS || name->type == GEN_EMAIL || name->type == GEN_URI) {
            const ASN1_STRING* text = name->d.ia5;
            names.emplace_back(reinterpret_cast<const char*>(ASN1_STRING_get0_data(text)),
                               static_cast<std::size_t>(ASN1_STRING_length(text)));
        } else if (name->type == GEN_IPADD) {
            const ASN1_OCTET_STRING* bytes = name->d.iPAddress;
            const int length = ASN1_STRING_length(bytes);
            std::array<char, INET6_ADDRSTRLEN> text{};
            if ((length == 4 || length == 16) &&
                inet_ntop(length == 4 ? AF_INET : AF_INET6, ASN1_STRING_get0_data(bytes),
                          text.data(), text.size()) != nullptr)
                names.emplace_back(text.data());
        }
    }
    GENERAL_NAMES_free(general);
    return names;
}

bool SetClientAuth(asio::ssl::context& context, const TTlsServerConfig& tls, std::string& reason)
{
    std::error_code error;
    const bool verifies = tls.ClientAuth == TClientAuth::VerifyClientCertIfGiven ||
                          tls.ClientAuth == TClientAuth::RequireAndVerifyClientCert;
    const bool demands = tls.ClientAuth == TClientAuth::RequireAnyClientCert ||
                         tls.ClientAuth == TClientAuth::RequireAndVerifyClientCert;
    if (tls.ClientAuth == TClientAuth::NoClientCert)
        return !Failed(context.set_verify_mode(asio::ssl::verify_none, error), "client_auth_type",
                       reason);
    if (verifies) {
        const auto authorities = ReadFile(tls.ClientCaFile, "client_ca_file", reason);
        if (!authorities)
            return false;
        if (Failed(context.add_certificate_authority(asio::buffer(*authorities), error),
                   "client_ca_file " + tls.ClientCaFile, reason))
            return false;
    }
    asio::ssl::verify_mode mode = asio::ssl::verify_peer;
    if (demands)
        mode |= asio::ssl::verify_fail_if_no_peer_cert;
    if (Failed(context.set_verify_mode(mode, error), "client_auth_type", reason))
        return false;
    context.set_verify_callback([verifies, sans = tls.ClientAllowedSans](
                                    bool preverified, asio::ssl::verify_context& verify) {
        // Asking for a certificate without verifying it takes whatever is sent.
        if (!verifies)
            return true;
        X509_STORE_CTX* store = verify.native_handle();
        if (!preverified || sans.empty() || X509_STORE_CTX_get_error_depth(store) != 0)
            return preverified;
        const auto names = AlternativeNames(X509_STORE_CTX_get_current_cert(store));
        return std::any_of(names.begin(), names.end(), [&](const std::string& name) {
            return std::find(sans.begin(), sans.end(), name) != sans.end();
        });
    });
    return true;
}

bool SetProtocol(SSL_CTX* handle, const TTlsServerConfig& tls, std::string& reason)
{
    if (OpenSslFailed(SSL_CTX_set_min_proto_version(handle, tls.MinVersion) == 1, "min_version",
                      reason) ||
        OpenSslFailed(SSL_CTX_set_max_proto_version(handle, tls.MaxVersion) == 1, "max_version",
                      reason))
        return false;
    SSL_CTX_set_options(handle, SSL_OP_NO_COMPRESSION | SSL_OP_NO_RENEGOTIATION);
    if (tls.PreferServerCipherSuites)
        SSL_CTX_set_options(handle, SSL_OP_CIPHER_SERVER_PREFERENCE);
    if (!tls.CipherSuites.empty()) {
        const auto list = CipherList(handle, tls.CipherSuites, reason);
        if (!list ||
            OpenSslFailed(!list->empty() && SSL_CTX_set_cipher_list(handle, list->c_str()) == 1,
                          "cipher_suites", reason))
            return false;
    }
    if (!tls.Curves.empty()) {
        std::string groups;
        for (const auto& curve : tls.Curves) {
            if (!groups.empty())
                groups += ':';
            groups += curve;
        }
        if (OpenSslFailed(SSL_CTX_set1_groups_list(handle, groups.c_str()) == 1,
                          "curve_preferences", reason))
            return false;
    }
    return true;
}

} // namespace

std::shared_ptr<asio::ssl::context> MakeTlsContext(const TTlsServerConfig& tls, std::string& reason)
{
    auto context = std::make_shared<asio::ssl::context>(asio::ssl::context::tls_server);
    std::error_code error;
    const auto chain = ReadFile(tls.CertFile, "cert_file", reason);
    if (!chain)
        return nullptr;
    auto key = ReadFile(tls.KeyFile, "key_file", reason);
    if (!key)
        return nullptr;
    context->use_private_key(asio::buffer(*key), asio::ssl::context::pem, error);
    OPENSSL_cleanse(key->data(), key->size());
    if (Failed(error, "key_file " + tls.KeyFile, reason) ||
        Failed(context->use_certificate_chain(asio::buffer(*chain), error),
               "cert_file " + tls.CertFile, reason) ||
        OpenSslFailed(SSL_CTX_check_private_key(context->native_handle()) == 1,
                      "key_file " + tls.KeyFile + " does not belong to cert_file", reason))
        return nullptr;
    if (!SetProtocol(context->native_handle(), tls, reason) ||
        !SetClientAuth(*context, tls, reason))
        return nullptr;
    return context;
}

} // namespace statlume
