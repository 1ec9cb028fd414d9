#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/linux/unique_fd.h"
#include "remote/address_counts.h"
#include "remote/serve_limits.h"
#include "remote/socket_layer.h"

#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QTcpSocket>
#include <QTimer>

#include <sys/socket.h>

namespace statlume {

/// Counters of the window's server socket, to watch that unsendable replies are dropped.
struct TQtServerStats
{
    /// Connections accepted since construction.
    std::size_t Accepted = 0;
    /// Bytes the kernel accepted in writes.
    std::size_t SentBytes = 0;
    /// Bytes of writes the kernel did not take (lost, never queued).
    std::size_t DroppedBytes = 0;
    /// Connections closed after sending nothing for the idle time-out.
    std::size_t TimedOut = 0;
    /// Connections closed to admit a newcomer (at a cap or out of descriptors).
    std::size_t Evicted = 0;
    /// Connections closed at accept because the peer lies outside the allowed ranges.
    std::size_t Refused = 0;
    /// Newcomers closed because no descriptor could be freed for them.
    std::size_t Rejected = 0;
};

/// The window's server socket on the UI thread: one listening socket (dual-stack unless bound
/// to an address) accepted from a socket notifier, replies sent once with MSG_DONTWAIT on the
/// descriptor (never through QTcpSocket's unbounded write buffer), a small kernel send buffer,
/// keepalive, caps on connections in all and per peer address, an idle time-out and a reserve
/// descriptor so that an accept is always possible.
class TQtServerSocket final : public QObject, public TServerSocket
{
public:
    /// How long a connection may send nothing before it is closed.
    static constexpr std::chrono::milliseconds DefaultIdleTimeout{60'000};

    /// A closed socket on DefaultRemotePort.
    explicit TQtServerSocket(QObject* parent = nullptr);
    ~TQtServerSocket() override;

    /// Accepts 0..65535 while closed; 0 asks the system for a free port (see LocalPort).
    bool SetPort(int port) override;
    int Port() const override { return PortNumber; }
    void Open() override;
    void Close() override;
    bool Active() const override { return static_cast<bool>(Listener); }

    /// The port actually bound; 0 while closed.
    std::uint16_t LocalPort() const;
    /// Sets the bind address and the allowed peers (used from the next Open) and the caps (used
    /// from the next accept; 0 counts as 1). With a problem, Open refuses with it instead.
    void SetLimits(TServeLimits limits, std::optional<std::string> problem = std::nullopt)
    {
        Limits = std::move(limits);
        LimitsProblem = std::move(problem);
    }
    /// Sets the idle time-out (at least 1 ms).
    void SetIdleTimeout(std::chrono::milliseconds timeout);
    /// Connections open now.
    std::size_t ConnectionCount() const { return Connections.size(); }
    /// Counters since construction.
    const TQtServerStats& Stats() const { return Counters; }

    /// An accepted connection (defined with the implementation).
    class TConnection;

private:
    void AcceptReady();
    bool AcceptOnReserve();
    void PauseAccepting();
    void Admit(int fd, const sockaddr_storage& peer);
    bool EvictFrom(const std::optional<TPeerAddress>& key);
    void Readable(std::uint64_t id);
    void Failed(std::uint64_t id, QAbstractSocket::SocketError error);
    void Drop(std::uint64_t id);
    void ArmIdleSweep();
    void SweepIdle();

    platform::TUniqueFd Listener;
    QPointer<QSocketNotifier> Notifier;
    // Held open while listening and closed for a moment when descriptors run out, so the
    // pending peer can still be taken and a connection evicted for it.
    platform::TUniqueFd Reserve;
    QTimer ResumeTimer;
    QTimer IdleTimer;
    std::chrono::milliseconds IdleTimeout = DefaultIdleTimeout;
    TServeLimits Limits;
    std::optional<std::string> LimitsProblem;
    TAddressCounts PerAddress;
    int PortNumber = DefaultRemotePort;
    std::uint64_t NextId = 0;
    std::map<std::uint64_t, std::unique_ptr<TConnection>> Connections;
    TQtServerStats Counters;
};

/// The window's client socket on the UI thread: connectToHost with a name (the look-up never
/// blocks the window), writes sent once on the descriptor and never queued, and a bound on
/// the bytes read per request sent.
class TQtClientSocket final : public QObject, public TClientSocket
{
public:
    /// A closed socket.
    explicit TQtClientSocket(QObject* parent = nullptr);
    ~TQtClientSocket() override;

    void SetHost(std::string text) override { HostName = std::move(text); }
    void SetPort(int value) override { PortNumber = value; }
    void Open() override;
    void Close() override;
    bool Connected() const override;
    std::optional<TSocketOp> AttemptStep() const override;
    std::ptrdiff_t Write(std::string_view text) override;
    std::ptrdiff_t Read(std::uint8_t* bytes, std::size_t count) override;

    /// True while a look-up or a connect is under way.
    bool Connecting() const;
    /// Each write that sends something lets at most bytes be read until the next one; bytes
    /// beyond stay in the kernel, whose full buffer then holds the peer back. 0 reads all.
    void SetReadAllowance(std::size_t bytes) { Allowance = bytes; }

private:
    void Release();
    void Readable();
    void RaiseReadableLater();
    void Failed(QAbstractSocket::SocketError error);
    void StepTimedOut();

    QPointer<QTcpSocket> Socket;
    // Bounds the look-up, then the connect, each by its own time-out.
    QTimer StepTimer;
    std::string HostName;
    int PortNumber = DefaultRemotePort;
    std::size_t Allowance = 0;
    std::size_t Budget = 0;
    bool ReadPosted = false;
    /// The current attempt got connected (so a failure is a read, not a connect).
    bool Linked = false;
    // Bumped on every Open and Close so that events of a released attempt are ignored.
    std::uint64_t Attempt = 0;
};

} // namespace statlume
