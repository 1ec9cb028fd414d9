#include "remote/client_role.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "remote/request_detection.h"

namespace statlume {

namespace {

constexpr std::uint8_t RecordMarker = 'T';

} // namespace

TClientRole::TClientRole(TClientSocket& socket, TRawDataShell& shell, TRemoteSecret& secret)
    : Socket(socket)
    , Shell(shell)
    , Secret(secret)
{
    Socket.OnConnect = [this] { cliConnect(); };
    Socket.OnRead = [this] { cliRead(); };
    Socket.OnError = [this](TSocketOp op, int& code) { cliError(op, code); };
}

TClientRole::~TClientRole()
{
    Socket.Close();
    Socket.OnConnect = nullptr;
    Socket.OnRead = nullptr;
    Socket.OnError = nullptr;
}

void TClientRole::SetHost(std::string text)
{
    ServerHost = std::move(text);
}

bool TClientRole::SetPort(long long value)
{
    if (!IsValidPort(value))
        return false;
    ServerPort = static_cast<int>(value);
    return true;
}

void TClientRole::Start()
{
    Open();
    Secret.SetKey();
}

void TClientRole::Tick()
{
    if (Socket.Connected()) {
        const char request[] = {static_cast<char>(RequestByte)};
        Socket.Write(std::string_view(request, sizeof request));
        return;
    }
    // A look-up or connect slower than a tick would never finish if each tick replaced it.
    if (const auto step = Socket.AttemptStep()) {
        if (!SlowTold && std::chrono::steady_clock::now() - AttemptStart >= SlowAttemptAfter) {
            SlowTold = true;
            if (OnSlowAttempt)
                OnSlowAttempt(*step);
        }
        return;
    }
    Open();
}

void TClientRole::Stop()
{
    Socket.Close();
}

void TClientRole::Open()
{
    Socket.SetHost(ServerHost);
    Socket.SetPort(ServerPort);
    AttemptStart = std::chrono::steady_clock::now();
    SlowTold = false;
    Socket.Open();
}

void TClientRole::cliConnect()
{
    // Bytes of the broken connection would otherwise be completed by the new one's, giving a
    // record stitched from two streams.
    Decryptor.Clear();
    Shell.Pending.clear();
    ReadOnConnection = false;
    FirstRecordLeft = RawDataSize;
    SkippingFirstRecord = false;
    SetAlert(false);
    if (OnConnected)
        OnConnected();
}

void TClientRole::cliRead()
{
    std::array<std::uint8_t, ClientReadSize> chunk{};
    const auto count = Socket.Read(chunk.data(), chunk.size());
    if (count < 1)
        return;
    const auto size = static_cast<std::size_t>(count);
    if (Secret.Password.empty()) {
        CountRecords(Shell.Feed(chunk.data(), size));
        return;
    }
    // Replies are whole blocks; a read that ends inside one keeps its tail for the next read,
    // so the blocks stay in line with the server's.
    const auto plain =
        SkipUnreadFirstRecord(Decryptor.Decrypt(Secret.KeyedCipher(), chunk.data(), size));
    if (!plain.empty())
        CountRecords(Shell.Feed(plain.data(), plain.size()));
}

// The client's chain runs on across connections while a server starts each connection's chain
// anew, so the first block of a new connection's first record may decrypt wrongly. The rest of
// that record decrypts right and is in line: searching it for a marker would frame records from
// the middle of real figures, and some of those pass the checks.
std::span<const std::uint8_t>
TClientRole::SkipUnreadFirstRecord(std::span<const std::uint8_t> plain)
{
    if (FirstRecordLeft == 0 || plain.empty())
        return plain;
    if (FirstRecordLeft == RawDataSize) {
        SkippingFirstRecord = plain.front() != RecordMarker;
        if (SkippingFirstRecord)
            CountRecords(TFeedResult{0, 1, 1});
    }
    const std::size_t judged = std::min(FirstRecordLeft, plain.size());
    FirstRecordLeft -= judged;
    return SkippingFirstRecord ? plain.subspan(judged) : plain;
}

void TClientRole::CountRecords(const TFeedResult& result)
{
    if (result.Accepted > 0) {
        ReadOnConnection = true;
        FailedRun = 0;
        FailureReported = false;
        if (OnRecordsAccepted)
            OnRecordsAccepted();
    }
    FailedRun += result.RejectedAtEnd;
    if (FailedRun < FailedRecordsHint || FailureReported)
        return;
    FailureReported = true;
    if (OnRecordsFailing)
        OnRecordsFailing(!ReadOnConnection);
}

void TClientRole::cliError(TSocketOp op, int& code)
{
    if (OnSocketError)
        OnSocketError(op, code);
    code = 0;
    SetAlert(true);
}

void TClientRole::SetAlert(bool value)
{
    AlertState = value;
    if (OnAlert)
        OnAlert(value);
}

} // namespace statlume
