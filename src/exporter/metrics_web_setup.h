#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "exporter/metrics_auth.h"
#include "exporter/metrics_web_config.h"

#include <asio/ssl/context.hpp>
#include <sys/types.h>

namespace statlume {

/// The largest web configuration read, in bytes: such files hold a few kilobytes, and the
/// YAML reader needs many times a file's size in memory.
inline constexpr std::size_t MaxWebConfigBytes = 1024 * 1024;

/// What tells a changed file: its identity, size and change time (all zero, size -1: missing).
struct TFileStamp
{
    dev_t Device = 0;
    ino_t Inode = 0;
    off_t Size = -1;
    long long ChangedNs = 0;
    bool operator==(const TFileStamp&) const = default;
};

/// What a web configuration makes of the exporter's connections.
struct TWebSetup
{
    /// Nothing: plain HTTP.
    std::shared_ptr<asio::ssl::context> Tls;
    /// Nothing: no password asked.
    std::shared_ptr<TBasicAuth> Auth;
    /// The configuration's extra headers as "Name: value\r\n" lines.
    std::string ExtraHeaders;
    /// The TLS settings Tls was made from, and the stamps of its files before they were read.
    std::optional<TTlsServerConfig> TlsConfig;
    std::vector<TFileStamp> TlsStamps;
};

/// A re-read of a web configuration to run on any thread: the file and the files it named.
struct TWebReread
{
    std::string Path;
    std::vector<std::string> Watched;
    /// The setup in force, whose TLS context is kept when nothing of it changed.
    std::shared_ptr<const TWebSetup> Previous;
};

/// The outcome of a re-read: the new setup (nothing, with the reason, when it failed), the
/// files it names and their stamps from before they were read.
struct TWebRereadResult
{
    std::shared_ptr<const TWebSetup> Setup;
    std::string Reason;
    std::vector<std::string> Watched;
    std::vector<TFileStamp> Stamps;
};

/// A web configuration file, read again when it or a file it names changes, so
/// certificates rotate without a restart.
class TWebSetupSource
{
public:
    using TClock = std::chrono::steady_clock;

    /// Reads the file at path and the files it names; nothing, with one line in reason, when
    /// any of them is missing, unreadable, refused or larger than MaxWebConfigBytes.
    static std::optional<TWebSetupSource> Load(const std::string& path, std::string& reason);

    /// The setup new connections and requests take.
    std::shared_ptr<const TWebSetup> Current() const { return Setup; }

    /// At most once a second, and not while a re-read is under way: when the file or one it
    /// names has changed, the re-read to run (then pass its result to Apply).
    std::optional<TWebReread> Due(TClock::time_point now);
    /// Reads the files of job again, once more when one changed while it was read (afterRead,
    /// for tests, runs after each read); safe on any thread.
    static TWebRereadResult Reread(const TWebReread& job,
                                   const std::function<void()>& afterRead = {});
    /// Takes a re-read's result: its setup, or on a failure one line on err and the current
    /// setup kept.
    void Apply(TWebRereadResult result, std::ostream& err);
    /// True between a Due that gave a re-read and the Apply of its result.
    bool Rereading() const { return ReadUnderWay; }
    /// Due, Reread and Apply in one go on this thread.
    void Refresh(TClock::time_point now, std::ostream& err);

private:
    std::string Path;
    std::vector<std::string> Watched;
    std::vector<TFileStamp> Stamps;
    std::shared_ptr<const TWebSetup> Setup;
    TClock::time_point Checked;
    bool ReadUnderWay = false;
};

} // namespace statlume
