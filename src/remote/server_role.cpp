#include "remote/server_role.h"

#include <array>
#include <cstdint>
#include <memory>

#include "record/raw_data.h"
#include "remote/request_detection.h"

namespace statlume {

namespace {

// The chaining value of one connection's encrypted replies and the key set-up it belongs to.
struct TReplyChain final : TConnectionState
{
    std::uint64_t KeyGeneration = 0;
    TBlowfishCipher::TBlock Value{};
};

// With one chain across all clients, a client would read the first block of every reply
// wrongly that followed another client's. A connection's chain starts from the IV, as a fresh
// client's does, and again after a new key set-up.
TBlowfishCipher::TBlock& ChainOf(TSocketConnection& connection, const TRemoteSecret& secret)
{
    auto* chain = dynamic_cast<TReplyChain*>(connection.RoleState.get());
    if (chain == nullptr || chain->KeyGeneration != secret.KeyGeneration) {
        auto fresh = std::make_unique<TReplyChain>();
        fresh->KeyGeneration = secret.KeyGeneration;
        fresh->Value = secret.Cipher.IV();
        chain = fresh.get();
        connection.RoleState = std::move(fresh);
    }
    return chain->Value;
}

} // namespace

TServerRole::TServerRole(TServerSocket& socket, TRawDataShell& shell, TRemoteSecret& secret)
    : Socket(socket)
    , Shell(shell)
    , Secret(secret)
{
    if (!Socket.Active())
        Socket.SetPort(DefaultPort);
    Socket.OnListen = [this] { servListen(); };
    Socket.OnAccept = [this](TSocketConnection& connection) { servAccept(connection); };
    Socket.OnClientRead = [this](TSocketConnection& connection) { servClientRead(connection); };
    Socket.OnClientError = [this](TSocketConnection& connection, TSocketOp op, int& code) {
        servClientError(connection, op, code);
    };
}

TServerRole::~TServerRole()
{
    Socket.Close();
    Socket.OnListen = nullptr;
    Socket.OnAccept = nullptr;
    Socket.OnClientRead = nullptr;
    Socket.OnClientError = nullptr;
}

bool TServerRole::SetPort(long long port)
{
    if (!IsValidPort(port) || Socket.Active())
        return false;
    return Socket.SetPort(static_cast<int>(port));
}

int TServerRole::Port() const
{
    return Socket.Port();
}

bool TServerRole::Listening() const
{
    return Socket.Active();
}

bool TServerRole::Start()
{
    try {
        Socket.Open();
        return true;
    } catch (const std::exception& error) {
        // A listen that fails (port in use) leaves the server off; the caller decides how
        // to show the message, start-up carries on.
        Socket.Close();
        if (OnFailure)
            OnFailure(error.what());
        return false;
    }
}

void TServerRole::Stop()
{
    Socket.Close();
}

bool TServerRole::StartUp(const TServerStartup& startup)
{
    if (startup.StoredPort)
        SetPort(*startup.StoredPort);
    if (startup.ClientMode || !startup.StoredServer.value_or(false))
        return true;
    return Start();
}

void TServerRole::servListen()
{
    // The stored password wins over one that only lives in memory.
    if (StoredPassword) {
        if (auto stored = StoredPassword())
            Secret.Password = std::move(*stored);
    }
    if (!Secret.Password.empty())
        Secret.SetKey();
}

void TServerRole::servAccept(TSocketConnection&)
{
    SetAlert(false);
}

void TServerRole::servClientRead(TSocketConnection& connection)
{
    std::array<std::uint8_t, RequestReadSize> request{};
    const auto count = connection.Read(request.data(), request.size());
    if (count < 1 || !IsRequest(request.data(), static_cast<std::size_t>(count)))
        return;
    if (!connection.ReadyForReply()) {
        ++SkippedCount;
        return;
    }
    const TRawBytes plain = EncodeRawData(Shell.Data);
    ++ReplyCount;
    if (Secret.Password.empty()) {
        connection.Write(plain.data(), plain.size());
        return;
    }
    // Encrypted into a separate buffer so the held record stays plain.
    TRawBytes sealed{};
    const TBlowfishCipher& cipher = Secret.KeyedCipher();
    cipher.Encrypt(plain.data(), sealed.data(), plain.size(), ChainOf(connection, Secret));
    connection.Write(sealed.data(), sealed.size());
}

void TServerRole::servClientError(TSocketConnection& connection, TSocketOp op, int& code)
{
    if (OnConnectionError)
        OnConnectionError(connection, op, code);
    code = 0;
    SetAlert(true);
}

void TServerRole::SetAlert(bool value)
{
    AlertState = value;
    if (OnAlert)
        OnAlert(value);
}

} // namespace statlume
