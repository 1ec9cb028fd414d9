#pragma once

#include <functional>
#include <optional>
#include <string>

#include "record/raw_data_shell.h"
#include "remote/remote_secret.h"
#include "remote/socket_layer.h"

namespace statlume {

/// What start-up knows from the settings for the server role.
struct TServerStartup
{
    /// The program runs as a client; the stored "Server" value is then not acted upon.
    bool ClientMode = false;
    /// The stored "ServPort", if any.
    std::optional<long long> StoredPort;
    /// The stored "Server", if any.
    std::optional<bool> StoredServer;
};

/// The server role: answers each request of a connected client with the snapshot record,
/// encrypted when the program has a password, each connection in a chain of its own that starts
/// from the IV, so any number of clients read every reply.
class TServerRole
{
public:
    /// The port until one is set.
    static constexpr int DefaultPort = DefaultRemotePort;

    /// Attaches to the socket's events and sets a closed socket to DefaultPort; socket, shell
    /// and secret must outlive the role.
    TServerRole(TServerSocket& socket, TRawDataShell& shell, TRemoteSecret& secret);
    TServerRole(const TServerRole&) = delete;
    TServerRole& operator=(const TServerRole&) = delete;
    /// Closes the socket and detaches from its events.
    ~TServerRole();

    /// Sets the port; false (port unchanged) when out of 1..65535 or while listening.
    bool SetPort(long long port);
    /// The port of the socket.
    int Port() const;
    /// True while listening.
    bool Listening() const;

    /// Starts listening; on failure the server stays off, OnFailure gets the message and the
    /// result is false. Nothing is thrown.
    bool Start();
    /// Stops listening and closes every connection.
    void Stop();
    /// The start-up steps of the role: the stored port, then listening when "Server" is stored
    /// true outside client mode. False only when listening was asked for and failed.
    bool StartUp(const TServerStartup& startup);

    /// The stored "Password", read each time listening starts; unset means none stored.
    std::function<std::optional<std::string>()> StoredPassword;
    /// Raised on every accept (false) and every connection error (true).
    std::function<void(bool alert)> OnAlert;
    /// Receives the message when listening cannot start.
    std::function<void(const std::string&)> OnFailure;
    /// Raised for every connection error before the alert, with the failed operation and code.
    std::function<void(TSocketConnection& connection, TSocketOp op, int code)> OnConnectionError;

    /// True after a connection error until the next accept.
    bool Alert() const { return AlertState; }
    /// Replies sent since construction (whole or cut).
    std::size_t Replies() const { return ReplyCount; }
    /// Requests not answered because the connection's previous reply had not left yet.
    std::size_t SkippedReplies() const { return SkippedCount; }

    /// Listening started: keys the cipher from the stored or in-memory password.
    void servListen();
    /// A connection was accepted: out of the alert state.
    void servAccept(TSocketConnection& connection);
    /// A connection is readable: request detection and reply; no reply while the previous one
    /// to that connection is still queued, so its chain advances only for replies sent.
    void servClientRead(TSocketConnection& connection);
    /// A connection failed: no report, alert state; other connections are unaffected.
    void servClientError(TSocketConnection& connection, TSocketOp op, int& code);

private:
    void SetAlert(bool value);

    TServerSocket& Socket;
    TRawDataShell& Shell;
    TRemoteSecret& Secret;
    bool AlertState = false;
    std::size_t ReplyCount = 0;
    std::size_t SkippedCount = 0;
};

} // namespace statlume
