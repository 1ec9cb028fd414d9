#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

namespace statlume {

/// The TCP port of the remote protocol when none is stored or given.
inline constexpr int DefaultRemotePort = 6130;

/// True for the TCP ports a user may give: 1..65535.
constexpr bool IsValidPort(long long port)
{
    return port >= 1 && port <= 65535;
}

/// The kind of socket operation that an error event is about.
enum class TSocketOp
{
    Lookup,
    Connect,
    Accept,
    Read,
    Write,
    Disconnect
};

/// The name of an operation kind, for messages ("lookup", "connect", ...).
std::string_view SocketOpName(TSocketOp op);

/// The layer's message for a failed call: "Socket error: <OS text> (<number>), on API '<call>'".
std::string SocketErrorMessage(const std::error_code& code, std::string_view api);

/// A socket failure that the caller shows to the user (for instance, the port is in use).
class TSocketError : public std::runtime_error
{
public:
    /// Builds the layer's message from the OS error and the name of the failing call.
    TSocketError(const std::error_code& code, std::string_view api);

    /// The OS error.
    std::error_code Code;
    /// The failing call ("socket", "bind", "listen", ...).
    std::string Api;
};

/// What a role keeps for one connection of a server socket.
class TConnectionState
{
public:
    virtual ~TConnectionState() = default;
};

/// One accepted connection of a server socket; valid only during the event that passes it.
class TSocketConnection
{
public:
    virtual ~TSocketConnection() = default;

    /// Reads up to count bytes without waiting; the count read, or 0 or less when nothing was.
    virtual std::ptrdiff_t Read(std::uint8_t* bytes, std::size_t count) = 0;
    /// Sends count bytes once without waiting or queueing: what the connection cannot take at
    /// once is lost; returns the count accepted (0 when the send would block, below 0 on error).
    virtual std::ptrdiff_t Write(const std::uint8_t* bytes, std::size_t count) = 0;
    /// False while the previous reply has not left the host yet (the peer is not reading);
    /// a reply then is skipped whole instead of piling up in the kernel.
    virtual bool ReadyForReply() const { return true; }
    /// The peer as text ("192.0.2.1:5000", "[2001:db8::1]:5000"); empty when unknown.
    virtual std::string PeerText() const { return {}; }

    /// The serving role's own state for this connection: empty at accept and destroyed with
    /// the connection, so nothing of a closed connection outlives it.
    std::unique_ptr<TConnectionState> RoleState;
};

/// A listening TCP socket on all addresses (IPv4 and IPv6); events are delivered on the main
/// thread.
class TServerSocket
{
public:
    virtual ~TServerSocket() = default;

    /// Sets the port to listen on; refused (false, port unchanged) while open.
    virtual bool SetPort(int port) = 0;
    /// The port set (0 asks the system for a free one).
    virtual int Port() const = 0;
    /// Creates the socket, binds it with address reuse, raises OnListen, then listens; throws
    /// TSocketError (and stays closed) when a step fails.
    virtual void Open() = 0;
    /// Stops listening and closes every accepted connection; nothing when already closed.
    virtual void Close() = 0;
    /// True between a successful Open and Close.
    virtual bool Active() const = 0;

    /// Raised by Open after the bind, before listening starts.
    std::function<void()> OnListen;
    /// Raised for each accepted connection.
    std::function<void(TSocketConnection&)> OnAccept;
    /// Raised when a connection has bytes to read; bytes left unread raise it again.
    std::function<void(TSocketConnection&)> OnClientRead;
    /// Raised when an operation of a connection fails; the connection is closed afterwards.
    /// A handler that sets the code to 0 suppresses the report through OnReport.
    std::function<void(TSocketConnection&, TSocketOp, int&)> OnClientError;
    /// Receives the message of an error event whose code was left non-zero.
    std::function<void(const std::string&)> OnReport;

protected:
    /// Raises OnClientError, then OnReport when the handler left the code non-zero.
    void RaiseClientError(TSocketConnection& connection, TSocketOp op, std::error_code code);
};

/// How long a name look-up may take before the attempt fails (ETIMEDOUT).
inline constexpr std::chrono::seconds LookupTimeout{10};
/// How long a TCP connect may take before the attempt fails (ETIMEDOUT).
inline constexpr std::chrono::seconds ConnectTimeout{10};

/// A TCP client connection whose look-up and connect never block, each bounded by its own
/// time-out; events are delivered on the main thread.
class TClientSocket
{
public:
    virtual ~TClientSocket() = default;

    /// Sets the host: an IPv4 or IPv6 address (brackets allowed) or a host name; used by the
    /// next Open.
    virtual void SetHost(std::string host) = 0;
    /// Sets the port; used by the next Open.
    virtual void SetPort(int port) = 0;
    /// Starts a look-up and a connection attempt, releasing any earlier attempt or connection;
    /// the outcome arrives as OnConnect or OnError.
    virtual void Open() = 0;
    /// Releases the attempt or the connection without raising an event.
    virtual void Close() = 0;
    /// True from OnConnect until an error or Close.
    virtual bool Connected() const = 0;
    /// The step of an attempt under way (Lookup or Connect); nullopt when none is.
    virtual std::optional<TSocketOp> AttemptStep() const = 0;
    /// Sends the characters of text once without waiting or queueing; returns the count
    /// accepted (0 when the send would block, below 0 when not connected or on error).
    virtual std::ptrdiff_t Write(std::string_view text) = 0;
    /// Reads up to count bytes without waiting; the count read, or 0 or less when nothing was.
    virtual std::ptrdiff_t Read(std::uint8_t* bytes, std::size_t count) = 0;

    /// Raised when the connection is made.
    std::function<void()> OnConnect;
    /// Raised when the connection has bytes to read; bytes left unread raise it again.
    std::function<void()> OnRead;
    /// Raised when a look-up, connect, read or write fails or the peer closes; the socket is
    /// already not connected. A handler that sets the code to 0 suppresses the report.
    std::function<void(TSocketOp, int&)> OnError;
    /// Receives the message of an error event whose code was left non-zero.
    std::function<void(const std::string&)> OnReport;

protected:
    /// Raises OnError, then OnReport when the handler left the code non-zero.
    void RaiseError(TSocketOp op, std::error_code code);
};

} // namespace statlume
