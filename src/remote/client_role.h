#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "record/raw_data_shell.h"
#include "remote/remote_secret.h"
#include "remote/socket_layer.h"
#include "remote/stream_decryptor.h"

namespace statlume {

/// The client role: polls a server on every tick and feeds the replies into the shell, whose
/// OnData renders.
class TClientRole
{
public:
    /// The port until one is set.
    static constexpr int DefaultPort = DefaultRemotePort;
    /// The update interval in client mode when none is stored, in milliseconds.
    static constexpr int DefaultIntervalMs = 2000;

    /// Attaches to the socket's events; socket, shell and secret must outlive the role.
    TClientRole(TClientSocket& socket, TRawDataShell& shell, TRemoteSecret& secret);
    TClientRole(const TClientRole&) = delete;
    TClientRole& operator=(const TClientRole&) = delete;
    /// Closes the socket and detaches from its events.
    ~TClientRole();

    /// Sets the server's host; used by the next attempt.
    void SetHost(std::string host);
    /// Sets the server's port; false (unchanged) when out of 1..65535.
    bool SetPort(long long port);
    /// The server's host.
    const std::string& Host() const { return ServerHost; }
    /// The server's port.
    int Port() const { return ServerPort; }

    /// Start-up in client mode: the first attempt, then the key set-up whatever the password.
    void Start();
    /// The timer's routine: a request when connected, a new attempt when none is under way;
    /// an attempt under way is left to succeed, fail or time out, and one that has taken
    /// SlowAttemptAfter or more is told once through OnSlowAttempt.
    void Tick();
    /// Releases the connection or the attempt.
    void Stop();
    /// True while connected.
    bool Connected() const { return Socket.Connected(); }

    /// How old an attempt a tick finds under way must be to be told as slow: the tick that
    /// follows an attempt's start at once (a label rebuild) does not count.
    std::chrono::milliseconds SlowAttemptAfter{500};
    /// Raised once per attempt when a tick finds it under way and slow, with its step.
    std::function<void(TSocketOp step)> OnSlowAttempt;
    /// Raised on every connect (false) and every error (true).
    std::function<void(bool alert)> OnAlert;
    /// Raised for every error before the alert, with the failed operation and its code.
    std::function<void(TSocketOp op, int code)> OnSocketError;
    /// Raised after each connection is made, once the receive state has been cleared.
    std::function<void()> OnConnected;
    /// True after an error until the next connect.
    bool Alert() const { return AlertState; }

    /// Consecutive dropped records after which OnRecordsFailing is raised.
    static constexpr std::size_t FailedRecordsHint = 3;
    /// Raised once when FailedRecordsHint records in a row were dropped, and again only after an
    /// accepted record has come; noneRead is true when no record of the connection passed the
    /// checks (a wrong password, most likely), false when some did.
    std::function<void(bool noneRead)> OnRecordsFailing;
    /// Raised after each read that brought at least one accepted record.
    std::function<void()> OnRecordsAccepted;
    /// Records dropped since the last accepted one.
    std::size_t FailedRecords() const { return FailedRun; }

    /// The connection is made: a new stream, so no held bytes or unfinished record of the last
    /// one are kept; out of the alert state.
    void cliConnect();
    /// The connection is readable: read, decrypt in whole blocks (a read cut inside a block
    /// waits for the rest), feed; an encrypted connection's first record that decrypts without
    /// its marker is dropped whole.
    void cliRead();
    /// A look-up, connect, read or write failed: no report, alert state; the next tick retries.
    void cliError(TSocketOp op, int& code);

private:
    void Open();
    void SetAlert(bool value);

    TClientSocket& Socket;
    TRawDataShell& Shell;
    TRemoteSecret& Secret;
    std::string ServerHost;
    int ServerPort = DefaultPort;
    TStreamDecryptor Decryptor;
    bool AlertState = false;
    std::chrono::steady_clock::time_point AttemptStart;
    bool SlowTold = false;

    void CountRecords(const TFeedResult& result);
    std::span<const std::uint8_t> SkipUnreadFirstRecord(std::span<const std::uint8_t> plain);

    std::size_t FailedRun = 0;
    bool FailureReported = false;
    bool ReadOnConnection = false;
    // Bytes of an encrypted connection's first record still to be judged or skipped.
    std::size_t FirstRecordLeft = 0;
    bool SkippingFirstRecord = false;
};

} // namespace statlume
