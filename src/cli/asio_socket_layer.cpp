#include "cli/asio_socket_layer.h"

#include <cerrno>
#include <chrono>
#include <utility>

#include <sys/socket.h>
#include <sys/types.h>

namespace statlume {

namespace {

/// The outcome of one non-blocking recv or send.
struct TIoResult
{
    std::ptrdiff_t Count = -1;
    int Error = 0;
    bool PeerClosed = false;
};

TIoResult ReceiveOnce(int fd, std::uint8_t* bytes, std::size_t count)
{
    if (count == 0)
        return {};
    for (;;) {
        const auto got = ::recv(fd, bytes, count, MSG_DONTWAIT);
        if (got > 0)
            return {got};
        if (got == 0)
            return {0, 0, true};
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return {};
        return {-1, errno};
    }
}

// Sent once: what the kernel does not take now is lost, so a peer that never reads cannot
// make us hold its replies.
TIoResult SendOnce(int fd, const void* bytes, std::size_t count)
{
    for (;;) {
        const auto sent = ::send(fd, bytes, count, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (sent >= 0)
            return {sent};
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return {0};
        return {-1, errno};
    }
}

std::error_code OsError(int value)
{
    return {value, std::system_category()};
}

// Readable events whose handler reads nothing would fire again at once; without a handler the
// bytes are taken and dropped.
void Drain(int fd)
{
    std::uint8_t sink[512];
    ReceiveOnce(fd, sink, sizeof sink);
}

} // namespace

class TAsioServerSocket::TConnection final : public TSocketConnection
{
public:
    TConnection(asio::ip::tcp::socket socket, std::uint64_t id, TServerSocketStats& stats)
        : Socket(std::move(socket))
        , Id(id)
        , Stats(stats)
    {
    }

    std::ptrdiff_t Read(std::uint8_t* bytes, std::size_t count) override
    {
        if (!Socket.is_open())
            return -1;
        const auto result = ReceiveOnce(Socket.native_handle(), bytes, count);
        if (result.PeerClosed)
            PeerClosed = true;
        else if (result.Error != 0 && !Failure)
            Failure = {TSocketOp::Read, OsError(result.Error)};
        return result.Count;
    }

    std::ptrdiff_t Write(const std::uint8_t* bytes, std::size_t count) override
    {
        if (!Socket.is_open())
            return -1;
        const auto result = SendOnce(Socket.native_handle(), bytes, count);
        if (result.Error != 0) {
            if (!Failure)
                Failure = {TSocketOp::Write, OsError(result.Error)};
            return -1;
        }
        Stats.SentBytes += static_cast<std::size_t>(result.Count);
        Stats.DroppedBytes += count - static_cast<std::size_t>(result.Count);
        return result.Count;
    }

    asio::ip::tcp::socket Socket;
    const std::uint64_t Id;
    TServerSocketStats& Stats;
    bool PeerClosed = false;
    /// An error met by Read or Write, raised once the read handler has returned.
    std::optional<std::pair<TSocketOp, std::error_code>> Failure;
};

TAsioServerSocket::TAsioServerSocket(asio::io_context& io)
    : Io(io)
    , Acceptor(io)
    , RetryTimer(io)
{
}

TAsioServerSocket::~TAsioServerSocket()
{
    Close();
    Alive.reset();
}

bool TAsioServerSocket::SetPort(int value)
{
    if (Active() || value < 0 || value > 65535)
        return false;
    PortNumber = value;
    return true;
}

void TAsioServerSocket::Open()
{
    if (Active())
        return;
    using asio::ip::tcp;
    tcp::acceptor fresh(Io);
    std::error_code error;
    fresh.open(tcp::v4(), error);
    if (error)
        throw TSocketError(error, "socket");
    fresh.set_option(tcp::acceptor::reuse_address(true), error);
    if (error)
        throw TSocketError(error, "setsockopt");
    fresh.bind(tcp::endpoint(asio::ip::address_v4::any(), static_cast<std::uint16_t>(PortNumber)),
               error);
    if (error)
        throw TSocketError(error, "bind");
    if (OnListen)
        OnListen();
    fresh.listen(asio::socket_base::max_listen_connections, error);
    if (error)
        throw TSocketError(error, "listen");
    fresh.non_blocking(true, error);
    Acceptor = std::move(fresh);
    Accept();
}

void TAsioServerSocket::Close()
{
    std::error_code ignored;
    Acceptor.close(ignored);
    RetryTimer.cancel();
    for (auto& [id, connection] : Connections)
        connection->Socket.close(ignored);
    Connections.clear();
}

std::uint16_t TAsioServerSocket::LocalPort() const
{
    std::error_code error;
    const auto endpoint = Acceptor.local_endpoint(error);
    return error ? 0 : endpoint.port();
}

void TAsioServerSocket::Accept()
{
    std::weak_ptr<int> token = Alive;
    Acceptor.async_accept([this, token](std::error_code error, asio::ip::tcp::socket peer) {
        if (token.expired() || error == asio::error::operation_aborted || !Acceptor.is_open())
            return;
        if (error) {
            // Out of descriptors and the like: try again shortly instead of spinning.
            RetryTimer.expires_after(std::chrono::milliseconds(100));
            RetryTimer.async_wait([this, token](std::error_code waitError) {
                if (!token.expired() && !waitError && Acceptor.is_open())
                    Accept();
            });
            return;
        }
        std::error_code ignored;
        peer.non_blocking(true, ignored);
        const auto id = NextId++;
        auto connection = std::make_shared<TConnection>(std::move(peer), id, Counters);
        Connections.emplace(id, connection);
        ++Counters.Accepted;
        Accept();
        if (OnAccept)
            OnAccept(*connection);
        if (!token.expired() && Connections.contains(id))
            Watch(connection);
    });
}

void TAsioServerSocket::Watch(const std::shared_ptr<TConnection>& connection)
{
    std::weak_ptr<int> token = Alive;
    std::weak_ptr<TConnection> weak = connection;
    connection->Socket.async_wait(asio::ip::tcp::socket::wait_read,
                                  [this, token, weak](std::error_code error) {
                                      if (token.expired())
                                          return;
                                      const auto current = weak.lock();
                                      if (!current || !Connections.contains(current->Id))
                                          return;
                                      if (error == asio::error::operation_aborted)
                                          return;
                                      if (error) {
                                          RaiseClientError(*current, TSocketOp::Read, error);
                                          if (!token.expired())
                                              Drop(current->Id);
                                          return;
                                      }
                                      Readable(current);
                                  });
}

void TAsioServerSocket::Readable(const std::shared_ptr<TConnection>& connection)
{
    std::weak_ptr<int> token = Alive;
    const auto id = connection->Id;
    if (OnClientRead)
        OnClientRead(*connection);
    else
        Drain(connection->Socket.native_handle());
    if (token.expired() || !Connections.contains(id))
        return;
    if (connection->Failure) {
        const auto [op, code] = *connection->Failure;
        RaiseClientError(*connection, op, code);
        if (!token.expired())
            Drop(id);
        return;
    }
    // A peer that closed is let go quietly; the others are not affected.
    if (connection->PeerClosed) {
        Drop(id);
        return;
    }
    Watch(connection);
}

void TAsioServerSocket::Drop(std::uint64_t id)
{
    const auto found = Connections.find(id);
    if (found == Connections.end())
        return;
    std::error_code ignored;
    found->second->Socket.close(ignored);
    Connections.erase(found);
}

TAsioClientSocket::TAsioClientSocket(asio::io_context& io)
    : Io(io)
    , Resolver(io)
    , Socket(io)
{
}

TAsioClientSocket::~TAsioClientSocket()
{
    Release();
    Alive.reset();
}

void TAsioClientSocket::Open()
{
    Release();
    State = TState::Resolving;
    const auto current = Attempt;
    std::weak_ptr<int> token = Alive;
    Resolver.async_resolve(
        asio::ip::tcp::v4(), HostName, std::to_string(PortNumber),
        asio::ip::tcp::resolver::numeric_service,
        [this, token, current](std::error_code error,
                               const asio::ip::tcp::resolver::results_type& endpoints) {
            if (token.expired() || current != Attempt)
                return;
            if (error) {
                Fail(TSocketOp::Lookup, error);
                return;
            }
            Connect(current, endpoints);
        });
}

void TAsioClientSocket::Close()
{
    Release();
}

void TAsioClientSocket::Release()
{
    ++Attempt;
    Resolver.cancel();
    std::error_code ignored;
    Socket.close(ignored);
    State = TState::Closed;
    ReadFailure.reset();
}

void TAsioClientSocket::Connect(std::uint64_t current,
                                const asio::ip::tcp::resolver::results_type& endpoints)
{
    State = TState::Connecting;
    std::weak_ptr<int> token = Alive;
    asio::async_connect(Socket, endpoints,
                        [this, token, current](std::error_code error, const auto&) {
                            if (token.expired() || current != Attempt)
                                return;
                            if (error) {
                                Fail(TSocketOp::Connect, error);
                                return;
                            }
                            std::error_code ignored;
                            Socket.non_blocking(true, ignored);
                            State = TState::Connected;
                            if (OnConnect)
                                OnConnect();
                            if (!token.expired() && current == Attempt && Connected())
                                Watch();
                        });
}

void TAsioClientSocket::Watch()
{
    const auto current = Attempt;
    std::weak_ptr<int> token = Alive;
    Socket.async_wait(
        asio::ip::tcp::socket::wait_read, [this, token, current](std::error_code error) {
            if (token.expired() || current != Attempt || error == asio::error::operation_aborted)
                return;
            if (error) {
                Fail(TSocketOp::Read, error);
                return;
            }
            Readable();
        });
}

void TAsioClientSocket::Readable()
{
    const auto current = Attempt;
    std::weak_ptr<int> token = Alive;
    ReadFailure.reset();
    if (OnRead)
        OnRead();
    else
        Drain(Socket.native_handle());
    // The handler may have closed or reopened the socket.
    if (token.expired() || current != Attempt)
        return;
    if (ReadFailure) {
        const auto [op, code] = *ReadFailure;
        Fail(op, code);
        return;
    }
    Watch();
}

std::ptrdiff_t TAsioClientSocket::Read(std::uint8_t* bytes, std::size_t count)
{
    if (!Connected())
        return -1;
    const auto result = ReceiveOnce(Socket.native_handle(), bytes, count);
    if (result.PeerClosed && !ReadFailure)
        ReadFailure = {TSocketOp::Disconnect, std::make_error_code(std::errc::connection_reset)};
    else if (result.Error != 0 && !ReadFailure)
        ReadFailure = {TSocketOp::Read, OsError(result.Error)};
    return result.Count;
}

std::ptrdiff_t TAsioClientSocket::Write(std::string_view text)
{
    if (!Connected())
        return -1;
    const auto result = SendOnce(Socket.native_handle(), text.data(), text.size());
    if (result.Error != 0)
        FailLater(TSocketOp::Write, OsError(result.Error));
    return result.Count;
}

void TAsioClientSocket::Fail(TSocketOp op, std::error_code code)
{
    Release();
    RaiseError(op, code);
}

void TAsioClientSocket::FailLater(TSocketOp op, std::error_code code)
{
    // Not connected from now on, but the event comes from the loop, never from inside Write.
    Release();
    const auto current = Attempt;
    std::weak_ptr<int> token = Alive;
    asio::post(Io, [this, token, current, op, code] {
        if (!token.expired() && current == Attempt)
            RaiseError(op, code);
    });
}

} // namespace statlume
