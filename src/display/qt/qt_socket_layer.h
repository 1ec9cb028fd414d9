#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "remote/socket_layer.h"

#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

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
    /// Connections closed to admit a newcomer at the cap.
    std::size_t Evicted = 0;
};

/// The window's server socket on the UI thread: one dual-stack listening socket handed to a
/// QTcpServer, replies sent once with MSG_DONTWAIT on the descriptor (never through
/// QTcpSocket's unbounded write buffer), a small kernel send buffer, keepalive, a cap on
/// connections and an idle time-out.
class TQtServerSocket final : public QObject, public TServerSocket
{
public:
    /// Connections kept at most; at the cap the longest idle one makes room.
    static constexpr std::size_t DefaultMaxClients = 256;
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
    bool Active() const override { return Listener != nullptr; }

    /// The port actually bound; 0 while closed.
    std::uint16_t LocalPort() const;
    /// Sets the cap (at least 1), used from the next accept.
    void SetMaxClients(std::size_t count) { MaxClients = count > 0 ? count : 1; }
    /// Sets the idle time-out (at least 1 ms).
    void SetIdleTimeout(std::chrono::milliseconds timeout);
    /// Connections open now.
    std::size_t ConnectionCount() const { return Connections.size(); }
    /// Counters since construction.
    const TQtServerStats& Stats() const { return Counters; }

    /// An accepted connection (defined with the implementation).
    class TConnection;

private:
    void AcceptPending();
    void Admit(QTcpSocket* socket);
    bool EvictIdlest();
    void Readable(std::uint64_t id);
    void Failed(std::uint64_t id, QAbstractSocket::SocketError error);
    void Drop(std::uint64_t id);
    void ArmIdleSweep();
    void SweepIdle();

    QPointer<QTcpServer> Listener;
    QTimer IdleTimer;
    std::chrono::milliseconds IdleTimeout = DefaultIdleTimeout;
    std::size_t MaxClients = DefaultMaxClients;
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

    QPointer<QTcpSocket> Socket;
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
