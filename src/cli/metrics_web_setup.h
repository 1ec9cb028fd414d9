#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/metrics_auth.h"

#include <asio/ssl/context.hpp>
#include <sys/types.h>

namespace statlume {

/// What a web configuration makes of the exporter's connections.
struct TWebSetup
{
    /// Nothing: plain HTTP.
    std::shared_ptr<asio::ssl::context> Tls;
    /// Nothing: no password asked.
    std::shared_ptr<TBasicAuth> Auth;
    /// The configuration's extra headers as "Name: value\r\n" lines.
    std::string ExtraHeaders;
};

/// A web configuration file, read again when it or a file it names changes, so
/// certificates rotate without a restart.
class TWebSetupSource
{
public:
    using TClock = std::chrono::steady_clock;

    /// Reads the file at path and the files it names; nothing, with one line in reason, when
    /// any of them is missing, unreadable or refused.
    static std::optional<TWebSetupSource> Load(const std::string& path, std::string& reason);

    /// The setup new connections take.
    std::shared_ptr<const TWebSetup> Current() const { return Setup; }

    /// At most once a second: when the file or one it names has changed, reads them again;
    /// a failure writes one line to err and keeps the current setup.
    void Refresh(TClock::time_point now, std::ostream& err);

private:
    /// What tells a changed file: its identity, size and change time.
    struct TStamp
    {
        dev_t Device = 0;
        ino_t Inode = 0;
        off_t Size = -1;
        long long ChangedNs = 0;
        bool operator==(const TStamp&) const = default;
    };

    static std::vector<TStamp> StampsOf(const std::vector<std::string>& paths);

    std::string Path;
    std::vector<std::string> Watched;
    std::vector<TStamp> Stamps;
    std::shared_ptr<const TWebSetup> Setup;
    TClock::time_point Checked;
};

} // namespace statlume
