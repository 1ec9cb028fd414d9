#include "remote/fake_sockets.h"

#include <algorithm>

namespace statlume::platform {

namespace {

std::ptrdiff_t TakeFront(std::deque<std::uint8_t>& from, std::uint8_t* bytes, std::size_t count)
{
    const auto taken = std::min(count, from.size());
    std::copy_n(from.begin(), taken, bytes);
    from.erase(from.begin(), from.begin() + static_cast<std::ptrdiff_t>(taken));
    return taken == 0 ? -1 : static_cast<std::ptrdiff_t>(taken);
}

} // namespace

std::ptrdiff_t TFakeConnection::Read(std::uint8_t* bytes, std::size_t count)
{
    ReadSizes.push_back(count);
    return Open ? TakeFront(Incoming, bytes, count) : -1;
}

std::ptrdiff_t TFakeConnection::Write(const std::uint8_t* bytes, std::size_t count)
{
    if (!Open)
        return -1;
    const auto accepted = std::min(count, WriteRoom.value_or(count));
    Writes.emplace_back(bytes, bytes + accepted);
    return static_cast<std::ptrdiff_t>(accepted);
}

bool TFakeServerSocket::SetPort(int value)
{
    if (active)
        return false;
    port = value;
    return true;
}

void TFakeServerSocket::Open()
{
    if (active)
        return;
    if (OpenFailure) {
        const auto [code, api] = *OpenFailure;
        throw TSocketError(std::make_error_code(code), api);
    }
    if (OnListen)
        OnListen();
    active = true;
    ++OpenCount;
}

void TFakeServerSocket::Close()
{
    active = false;
    for (auto& connection : connections)
        connection.Open = false;
}

TFakeConnection& TFakeServerSocket::Accept()
{
    auto& connection = connections.emplace_back();
    if (OnAccept)
        OnAccept(connection);
    return connection;
}

void TFakeServerSocket::Receive(TFakeConnection& connection, std::string_view bytes)
{
    connection.Incoming.insert(connection.Incoming.end(), bytes.begin(), bytes.end());
    while (connection.Open && !connection.Incoming.empty() && OnClientRead) {
        const auto before = connection.Incoming.size();
        OnClientRead(connection);
        if (connection.Incoming.size() == before)
            break;
    }
}

int TFakeServerSocket::Fail(TFakeConnection& connection, TSocketOp op, std::errc code)
{
    int value = static_cast<int>(code);
    if (OnClientError)
        OnClientError(connection, op, value);
    if (value != 0)
        Reports.push_back(SocketErrorMessage(std::make_error_code(code), SocketOpName(op)));
    connection.Open = false;
    return value;
}

void TFakeClientSocket::Open()
{
    if (state == TState::Connecting)
        ++ReleasedAttempts;
    incoming.clear();
    state = TState::Connecting;
    OpenedHost = host;
    OpenedPort = port;
    ++OpenCount;
}

void TFakeClientSocket::Close()
{
    if (state == TState::Connecting)
        ++ReleasedAttempts;
    state = TState::Closed;
    incoming.clear();
}

std::ptrdiff_t TFakeClientSocket::Write(std::string_view text)
{
    if (state != TState::Connected)
        return -1;
    Written += text;
    return static_cast<std::ptrdiff_t>(text.size());
}

std::ptrdiff_t TFakeClientSocket::Read(std::uint8_t* bytes, std::size_t count)
{
    ReadSizes.push_back(count);
    return state == TState::Connected ? TakeFront(incoming, bytes, count) : -1;
}

bool TFakeClientSocket::CompleteConnect()
{
    if (state != TState::Connecting)
        return false;
    state = TState::Connected;
    if (OnConnect)
        OnConnect();
    return true;
}

int TFakeClientSocket::Fail(TSocketOp op, std::errc code)
{
    state = TState::Closed;
    incoming.clear();
    int value = static_cast<int>(code);
    if (OnError)
        OnError(op, value);
    if (value != 0)
        Reports.push_back(SocketErrorMessage(std::make_error_code(code), SocketOpName(op)));
    return value;
}

void TFakeClientSocket::Receive(std::string_view bytes)
{
    incoming.insert(incoming.end(), bytes.begin(), bytes.end());
    while (state == TState::Connected && !incoming.empty() && OnRead) {
        const auto before = incoming.size();
        OnRead();
        if (incoming.size() == before)
            break;
    }
}

} // namespace statlume::platform
