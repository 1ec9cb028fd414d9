#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include "platform/linux/unique_fd.h"
#include "remote/address_counts.h"
#include "remote/serve_limits.h"
#include "remote/socket_layer.h"

#include <asio.hpp>
#include <sys/socket.h>

namespace statlume {

/// Counters of a server socket, to watch that replies that cannot be sent are dropped.
struct TServerSocketStats
{
    /// Connections accepted since construction.
    std::size_t Accepted = 0;
    /// Bytes the kernel accepted in writes.
    std::size_t SentBytes = 0;
    /// Bytes of writes the kernel did not take (lost, never queued).
    std::size_t DroppedBytes = 0;
    /// Connections closed at accept because the peer lies outside the allowed ranges.
    std::size_t Refused = 0;
    /// Connections closed after sending nothing for the idle time-out.
    std::size_t TimedOut = 0;
    /// Connections closed to admit a newcomer (at the cap or out of descriptors).
    std::size_t Evicted = 0;
    /// Newcomers closed because no descriptor could be freed for them.
    std::size_t Rejected = 0;
};

/// Why the server socket closed a connection on its own.
enum class TConnectionNotice
{
    /// The peer is outside the allowed ranges; closed at accept, never served.
    Refused,
    /// The peer sent nothing for the idle time-out.
    TimedOut,
    /// Closed to admit a newcomer: of the address holding the most connections, one that never
    /// sent anything, else the longest idle one.
    Evicted,
    /// A newcomer closed at once: out of descriptors with nothing to evict.
    Rejected
};

/// How long a connection may send nothing before it is closed, unless set otherwise.
inline constexpr std::chrono::milliseconds DefaultIdleTimeout{60'000};

/// The server socket of the console program over an Asio event loop: non-blocking, readable
/// events through async_wait, writes sent once with MSG_DONTWAIT and never queued, a small
/// kernel send buffer per connection, caps on connections in all and per peer address, an idle
/// time-out, keepalive and a reserve descriptor so that an accept is always possible.
class TAsioServerSocket final : public TServerSocket
{
public:
    /// Events run on the thread that runs io, which must outlive the socket.
    explicit TAsioServerSocket(asio::io_context& io);
    ~TAsioServerSocket() override;
    TAsioServerSocket(const TAsioServerSocket&) = delete;
    TAsioServerSocket& operator=(const TAsioServerSocket&) = delete;

    /// Accepts 0..65535 while closed; 0 asks the system for a free port (see LocalPort).
    bool SetPort(int port) override;
    int Port() const override { return PortNumber; }
    void Open() override;
    void Close() override;
    bool Active() const override { return Acceptor.is_open(); }

    /// The port actually bound; 0 while closed.
    std::uint16_t LocalPort() const;
    /// Sets the bind address (used from the next Open), the allowed peers and the cap (used
    /// from the next accept).
    void SetLimits(TServeLimits limits) { Limits = std::move(limits); }
    /// Sets how long a connection may send nothing before it is closed (at least 1 ms).
    void SetIdleTimeout(std::chrono::milliseconds timeout);
    /// True when the socket listens on IPv6 (and, unbound, on IPv4 through the same socket).
    bool ListensOnIPv6() const;
    /// True when bound to a loopback address only.
    bool LoopbackOnly() const;

    /// Connections open now.
    std::size_t ConnectionCount() const { return Connections.size(); }
    /// Counters since construction.
    const TServerSocketStats& Stats() const { return Counters; }

    /// Raised when the socket closes a connection on its own, with the peer as text.
    std::function<void(TConnectionNotice, const std::string& peer)> OnNotice;

    /// An accepted connection (defined with the implementation).
    class TConnection;

private:
    asio::ip::tcp::endpoint ListenEndpoint() const;
    void WaitForPeers();
    void RetryLater();
    bool AcceptReady();
    bool AcceptWithReserve();
    void Admit(int fd, const sockaddr_storage& peer, bool onReserve);
    bool EvictFrom(const std::optional<TPeerAddress>& key);
    void ArmIdleSweep();
    void SweepIdle();
    void Notice(TConnectionNotice notice, const std::string& peer);
    void Watch(const std::shared_ptr<TConnection>& connection);
    void Readable(const std::shared_ptr<TConnection>& connection);
    void Drop(std::uint64_t id);

    asio::io_context& Io;
    asio::ip::tcp::acceptor Acceptor;
    asio::steady_timer RetryTimer;
    asio::steady_timer IdleTimer;
    bool IdleArmed = false;
    std::chrono::milliseconds IdleTimeout = DefaultIdleTimeout;
    int PortNumber = DefaultRemotePort;
    TServeLimits Limits;
    // Held open while listening and closed for a moment when descriptors run out, so the
    // pending peer can still be taken and a connection evicted for it.
    platform::TUniqueFd Reserve;
    std::uint64_t NextId = 0;
    std::map<std::uint64_t, std::shared_ptr<TConnection>> Connections;
    TAddressCounts PerAddress;
    TServerSocketStats Counters;
    std::shared_ptr<int> Alive = std::make_shared<int>(0);
};

/// The client socket of the console program over an Asio event loop: asynchronous look-up
/// and connect, readable events through async_wait, writes sent once and never queued, and
/// optionally a bound on the bytes read per request sent.
class TAsioClientSocket final : public TClientSocket
{
public:
    /// Events run on the thread that runs io, which must outlive the socket.
    explicit TAsioClientSocket(asio::io_context& io);
    ~TAsioClientSocket() override;
    TAsioClientSocket(const TAsioClientSocket&) = delete;
    TAsioClientSocket& operator=(const TAsioClientSocket&) = delete;

    void SetHost(std::string text) override { HostName = std::move(text); }
    void SetPort(int value) override { PortNumber = value; }
    void Open() override;
    void Close() override;
    bool Connected() const override { return State == TState::Connected; }
    std::optional<TSocketOp> AttemptStep() const override;
    std::ptrdiff_t Write(std::string_view text) override;
    std::ptrdiff_t Read(std::uint8_t* bytes, std::size_t count) override;

    /// True while a look-up or a connect is under way.
    bool Connecting() const { return State == TState::Resolving || State == TState::Connecting; }
    /// Each write that sends something lets at most bytes be read until the next one; the
    /// socket is not watched in between. 0 (the default) reads whatever arrives.
    void SetReadAllowance(std::size_t bytes) { Allowance = bytes; }

private:
    enum class TState
    {
        Closed,
        Resolving,
        Connecting,
        Connected
    };

    void Release();
    void Connect(std::uint64_t Attempt, const asio::ip::tcp::resolver::results_type& endpoints);
    void Watch();
    void Readable();
    void Fail(TSocketOp op, std::error_code code);
    void FailLater(TSocketOp op, std::error_code code);
    void BoundStep(std::chrono::steady_clock::duration limit);

    asio::io_context& Io;
    asio::ip::tcp::resolver Resolver;
    asio::ip::tcp::socket Socket;
    // Bounds the look-up, then the connect, each by its own time-out.
    asio::steady_timer StepTimer;
    std::string HostName;
    int PortNumber = DefaultRemotePort;
    TState State = TState::Closed;
    std::size_t Allowance = 0;
    // Bytes that may still be read before the next write, when Allowance is set.
    std::size_t Budget = 0;
    bool Watching = false;
    // Bumped on every Open and Close so that completions of a released Attempt are ignored.
    std::uint64_t Attempt = 0;
    std::optional<std::pair<TSocketOp, std::error_code>> ReadFailure;
    std::shared_ptr<int> Alive = std::make_shared<int>(0);
};

} // namespace statlume
