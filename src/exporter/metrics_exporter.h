#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>

#include "exporter/metrics_endpoint.h"
#include "exporter/metrics_text.h"
#include "exporter/metrics_web_setup.h"
#include "remote/address_counts.h"

#include <asio.hpp>

namespace statlume {

/// The bounds of the exporter's HTTP side.
struct TExporterLimits
{
    /// Connections served at once; at the cap a newcomer closes the longest idle one of the
    /// peer holding the most, or is closed itself when every one is busy.
    std::size_t MaxConnections = 64;
    /// Connections from one peer (an IPv6 /64 counts as one) at once; past it the newcomer
    /// closes that peer's connection longest idle past IdleGrace, or is closed itself.
    std::size_t MaxPerPeer = 16;
    /// Largest request head in bytes; a larger one gets 431 and the connection is closed.
    std::size_t MaxHeadBytes = 8192;
    /// Longest wait for a whole request head (or the next one on a kept connection) and for
    /// a whole reply to be written; the connection is closed after it.
    std::chrono::milliseconds Timeout{2000};
    /// How long a connection must have been idle (no request under way, no reply within the
    /// last second) before a newcomer from its peer may close it.
    std::chrono::milliseconds IdleGrace{500};
    /// Password checks waiting for or under bcrypt at once; past it a request gets 429.
    std::size_t MaxPendingChecks = 8;
};

/// Serves GET /metrics (the Prometheus text exposition) on the run's event loop. The run
/// publishes a copy of each snapshot; a scrape renders that copy once and serves the text
/// until the next one, so scraping never touches the collection. Other paths get 404, other
/// methods 405, a head that is too big 431, a malformed one or one with a body 400. Under a
/// web configuration it speaks TLS and asks for a password as that file says; every request
/// is judged by the configuration in force when it arrives.
class TMetricsExporter
{
public:
    /// Serves on io (which must outlive the exporter) with version in statlume_build_info.
    TMetricsExporter(asio::io_context& io, std::string version, TExporterLimits limits = {});
    /// Closes the listening socket and every connection.
    ~TMetricsExporter();
    TMetricsExporter(const TMetricsExporter&) = delete;
    TMetricsExporter& operator=(const TMetricsExporter&) = delete;

    /// Listens on the endpoint (no address: every IPv6 and IPv4 address); false, with the
    /// system's reason in reason, when that fails.
    bool Start(const TMetricsEndpoint& endpoint, std::string& reason);
    /// Serves under the web configuration source (TLS, passwords, extra headers), checking it
    /// for changes as requests arrive and reading it again off the loop; a failed re-read is
    /// reported on err, which must outlive the exporter.
    void UseWebConfig(TWebSetupSource source, std::ostream& err);
    /// Makes a copy of snapshot the one the next scrapes report.
    void Publish(const TMetricsSnapshot& snapshot);
    /// The port listened on; 0 before Start.
    std::uint16_t LocalPort() const;
    /// Connections open now.
    std::size_t Connections() const;

    /// Shared by the exporter and its connections, which may outlive it on the loop.
    struct TState;

private:
    void Accept();
    void Admit(asio::ip::tcp::socket socket, const TPeerAddress& peer);

    asio::io_context& Io;
    asio::ip::tcp::acceptor Acceptor;
    asio::steady_timer AcceptRetry;
    std::shared_ptr<TState> State;
    /// One thread for bcrypt and re-reads of the web configuration, so neither stalls the loop
    /// and a flood of password checks costs at most one core.
    std::unique_ptr<asio::thread_pool> Checker;
};

} // namespace statlume
