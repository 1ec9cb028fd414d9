#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <list>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "remote/socket_layer.h"

namespace statlume::platform {

/// An accepted connection whose incoming bytes are scripted and whose writes are captured.
class TFakeConnection : public TSocketConnection
{
public:
    std::ptrdiff_t Read(std::uint8_t* bytes, std::size_t count) override;
    std::ptrdiff_t Write(const std::uint8_t* bytes, std::size_t count) override;
    bool ReadyForReply() const override { return !Backlogged; }
    std::string PeerText() const override { return Peer; }

    /// True while the previous reply counts as not yet taken by the peer.
    bool Backlogged = false;
    /// The peer's address as text.
    std::string Peer = "192.0.2.1:40000";
    /// Bytes not read yet.
    std::deque<std::uint8_t> Incoming;
    /// Every Write's accepted bytes, one entry per call.
    std::vector<std::vector<std::uint8_t>> Writes;
    /// Bytes each Write may take; none = all (a full send buffer takes 0).
    std::optional<std::size_t> WriteRoom;
    /// The size asked of each Read, in order.
    std::vector<std::size_t> ReadSizes;
    /// False once closed by the server or after an error.
    bool Open = true;
};

/// A server socket driven by the test: Open can be made to fail, connections are accepted,
/// fed and broken on demand, and every event is raised synchronously.
class TFakeServerSocket : public TServerSocket
{
public:
    bool SetPort(int port) override;
    int Port() const override { return port; }
    void Open() override;
    void Close() override;
    bool Active() const override { return active; }

    /// Accepts a new connection and raises OnAccept; the reference lives as long as the socket.
    TFakeConnection& Accept();
    /// Appends bytes to a connection and raises OnClientRead while bytes remain and each
    /// event consumes some.
    void Receive(TFakeConnection& connection, std::string_view bytes);
    /// Raises the error event of a connection and closes it; returns the code as the handler
    /// left it.
    int Fail(TFakeConnection& connection, TSocketOp op, std::errc code);

    /// The error that the next Open throws, if any (from the given call).
    std::optional<std::pair<std::errc, std::string>> OpenFailure;
    /// Messages of the errors whose code the handler left non-zero.
    std::vector<std::string> Reports;
    /// Number of successful Opens.
    int OpenCount = 0;

private:
    int port = DefaultRemotePort;
    bool active = false;
    std::list<TFakeConnection> connections;
};

/// A client socket driven by the test: attempts complete or fail on demand, incoming bytes
/// are scripted, writes are captured, and every event is raised synchronously.
class TFakeClientSocket : public TClientSocket
{
public:
    void SetHost(std::string text) override { host = std::move(text); }
    void SetPort(int value) override { port = value; }
    void Open() override;
    void Close() override;
    bool Connected() const override { return state == TState::Connected; }
    std::optional<TSocketOp> AttemptStep() const override
    {
        return Connecting() ? std::optional(Step) : std::nullopt;
    }
    std::ptrdiff_t Write(std::string_view text) override;
    std::ptrdiff_t Read(std::uint8_t* bytes, std::size_t count) override;

    /// Completes the attempt under way and raises OnConnect; false when none is.
    bool CompleteConnect();
    /// Fails the attempt or the connection and raises OnError; returns the code as the handler
    /// left it.
    int Fail(TSocketOp op, std::errc code);
    /// Appends bytes and raises OnRead while bytes remain and each event consumes some.
    void Receive(std::string_view bytes);
    /// True while an attempt is under way.
    bool Connecting() const { return state == TState::Connecting; }

    /// What AttemptStep tells while an attempt is under way.
    TSocketOp Step = TSocketOp::Lookup;
    /// Everything written, in order.
    std::string Written;
    /// Host and port of the last Open.
    std::string OpenedHost;
    int OpenedPort = 0;
    /// Opens so far, and attempts released before they completed.
    int OpenCount = 0;
    int ReleasedAttempts = 0;
    /// The size asked of each Read, in order.
    std::vector<std::size_t> ReadSizes;
    /// Messages of the errors whose code the handler left non-zero.
    std::vector<std::string> Reports;

private:
    enum class TState
    {
        Closed,
        Connecting,
        Connected
    };

    std::string host;
    int port = DefaultRemotePort;
    TState state = TState::Closed;
    std::deque<std::uint8_t> incoming;
};

} // namespace statlume::platform
