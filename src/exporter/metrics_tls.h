#pragma once

#include <memory>
#include <string>

#include "exporter/metrics_web_config.h"

#include <asio/ssl/context.hpp>

namespace statlume {

/// A TLS server context made from tls: certificate chain and key, protocol versions, suites,
/// groups and client certificates as asked. Nothing, with one line in reason, when a file
/// cannot be read or the TLS library refuses a setting.
std::shared_ptr<asio::ssl::context> MakeTlsContext(const TTlsServerConfig& tls,
                                                   std::string& reason);

} // namespace statlume
